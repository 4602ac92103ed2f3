#include "plug_profile.h"

namespace {

using namespace InputLines;

struct KnownPlug {
    const char* name;
    const char* what;
    unsigned dtr;
    unsigned rts;
};

constexpr KnownPlug kKnownPlugs[] = {
    {"rig", "the test rig: DSR and CD follow DTR, CTS follows RTS", Dsr | Cd, Cts},
    {"db9", "DB9 loopback plug, pins 2-3, 7-8, 4-6-1", Dsr | Cd, Cts},
    {"db9-ri", "DB9 loopback plug, pins 2-3, 7-8, 4-6-1-9 (RI too)", Dsr | Cd | Ri, Cts},
    {"data", "data lines only, pins 2-3", kNone, kNone},
};

std::optional<unsigned> parseInputs(const QString& list, QString& error) {
    unsigned lines = kNone;
    for (const QString& word : list.split(',', Qt::SkipEmptyParts)) {
        const QString wanted = word.trimmed().toUpper();
        unsigned found = kNone;
        for (Line line : kAll)
            if (name(line) == wanted || (line == Cd && wanted == QLatin1String("DCD")))
                found = line;
        if (found == kNone) {
            error = QStringLiteral("\"%1\" is not an input line: use DSR, CTS, CD or RI.")
                        .arg(word.trimmed());
            return std::nullopt;
        }
        lines |= found;
    }
    return lines;
}

std::optional<PlugProfile> parseWiring(const QString& text, QString& error) {
    PlugProfile plug{text, kNone, kNone};
    for (const QString& part : text.split(';', Qt::SkipEmptyParts)) {
        const qsizetype equals = part.indexOf('=');
        const QString output = part.left(equals).trimmed().toUpper();
        const auto inputs = parseInputs(part.mid(equals + 1), error);
        if (equals < 0 || !inputs) {
            if (error.isEmpty())
                error = QStringLiteral("\"%1\" is not OUTPUT=INPUTS.").arg(part);
            return std::nullopt;
        }
        if (output == QLatin1String("DTR"))
            plug.dtrFollowers |= *inputs;
        else if (output == QLatin1String("RTS"))
            plug.rtsFollowers |= *inputs;
        else {
            error = QStringLiteral("\"%1\" is not an output line: use DTR or RTS.").arg(output);
            return std::nullopt;
        }
    }
    if (plug.dtrFollowers & plug.rtsFollowers) {
        error = QStringLiteral("An input cannot follow both DTR and RTS.");
        return std::nullopt;
    }
    return plug;
}

QString followers(const char* output, unsigned lines) {
    return QLatin1String(output) + '=' + names(lines).replace(' ', ',');
}

}  // namespace

QString PlugProfile::wiring() const {
    return followers("DTR", dtrFollowers).replace(QLatin1String("=none"), QLatin1String("=")) +
           ';' + followers("RTS", rtsFollowers).replace(QLatin1String("=none"), QLatin1String("="));
}

PlugProfile PlugProfile::rig() {
    const KnownPlug& plug = kKnownPlugs[0];
    return {QLatin1String(plug.name), plug.dtr, plug.rts};
}

std::optional<PlugProfile> PlugProfile::parse(const QString& text, QString& error) {
    for (const KnownPlug& plug : kKnownPlugs)
        if (text.trimmed().compare(QLatin1String(plug.name), Qt::CaseInsensitive) == 0)
            return PlugProfile{QLatin1String(plug.name), plug.dtr, plug.rts};
    if (!text.contains('=')) {
        error = QStringLiteral(
                    "\"%1\" is no known plug (%2) nor a wiring such as "
                    "DTR=DSR,CD;RTS=CTS.")
                    .arg(text, described().join(QStringLiteral("; ")));
        return std::nullopt;
    }
    return parseWiring(text, error);
}

QStringList PlugProfile::described() {
    QStringList lines;
    for (const KnownPlug& plug : kKnownPlugs)
        lines << QLatin1String(plug.name) + QStringLiteral(": ") + QLatin1String(plug.what);
    return lines;
}
