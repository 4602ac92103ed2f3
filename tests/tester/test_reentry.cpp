#include <QTest>

#include "comm_event.h"
#include "lamp_colours.h"
#include "qt_platform.h"
#include "tester_rig.h"

namespace {

// The real platform, whose waits also move the rig's clock on, so that the simulated ports
// see the time pass.
class QtPlatformOnRigClock : public QtPlatform {
public:
    std::shared_ptr<ManualClock> clock;
    std::function<void()> afterWait;

protected:
    void waitFor(quint32 milliseconds) override {
        QtPlatform::waitFor(milliseconds);
        clock->advanceMs(milliseconds);
        afterWait();
    }
};

QChar colourLetter(const FakeLamp& lamp) {
    if (lamp.BackColor() == LampColours::Red)
        return 'R';
    return lamp.BackColor() == LampColours::Green ? 'G' : '-';
}

// The output lamps and the number of logged events, as they are when a wait ends.
QString snapshot(TesterRig& rig) {
    return QString("%1%2/%3")
        .arg(colourLetter(rig.view.rts), colourLetter(rig.view.dtr))
        .arg(rig.view.list.lines.size());
}

void post(std::function<void()> notification) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(notification),
                              Qt::QueuedConnection);
}

void cycleTwice(TesterRig& rig, const std::function<void()>& during) {
    rig.view.loop.setText("2");
    rig.view.delay.setText("5");
    post(during);
    rig.tester.cmdCycle_Click();
}

using Scenario = std::function<void(TesterRig&)>;

const std::map<QString, Scenario>& scenarios() {
    static const std::map<QString, Scenario> all{
        {"toggle during a pause",
         [](TesterRig& rig) { cycleTwice(rig, [&rig] { rig.tester.cmdToggleDTR_Click(); }); }},
        {"cycle during a cycle",
         [](TesterRig& rig) { cycleTwice(rig, [&rig] { rig.tester.cmdCycle_Click(); }); }},
        {"selection during a poll",
         [](TesterRig& rig) {
             post([&rig] { rig.select("2"); });
             rig.tester.Timer1_Timer();
         }},
        {"tick during a tick",
         [](TesterRig& rig) {
             post([&rig] { rig.tester.Timer1_Timer(); });
             rig.tester.Timer1_Timer();
         }},
        {"selections during a selection",
         [](TesterRig& rig) {
             rig.port(4).failOperation(SimulatedPort::Operation::Open, 8040, "Too many links",
                                       SimulatedPort::Repeat::Persistent);
             post([&rig] { rig.select("3"); });
             post([&rig] { rig.select("4"); });
             rig.select("2");
         }},
    };
    return all;
}

}  // namespace

class ReentryTest : public QObject {
    Q_OBJECT

private slots:
    // Each row runs once on the fake platform and once on the real one: notifications that
    // arrive during a wait run, in their order, only when the waiting handler lets events run.
    void notificationsWaitForTheirTurn_data() {
        QTest::addColumn<bool>("real");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<bool>("portEvent");
        QTest::addColumn<QString>("expected");
        const struct {
            const char* scenario;
            bool portEvent;
            const char* expected;
        } rows[] = {
            // The lamps at each pause's end still show the pass before it; the click runs
            // after the pause, and from then on the lines flip in step.
            {"toggle during a pause", false, "GR/0 RR/3 | GG/7 com1 wiringG"},
            {"toggle during a pause", true, "GR/0 RR/4 | GG/8 com1 wiringG"},
            // The second run does both its passes between the first run's two.
            {"cycle during a cycle", false, "GR/0 RG/0 GR/5 RG/8 | GR/10 com1 wiringG"},
            {"cycle during a cycle", true, "GR/0 RG/4 GR/6 RG/9 | GR/11 com1 wiringG"},
            // The poll then reads port 2, which the selection's own check has drained.
            {"selection during a poll", false, "GR/0 GR/0 | GR/0 com2 wiringR"},
            {"selection during a poll", true, "GR/0 GR/1 | GR/1 com2 wiringR"},
            // The nested check takes both echoes.
            {"tick during a tick", false, "GR/0 GR/0 | GR/0 com1 wiringR"},
            {"tick during a tick", true, "GR/0 GR/1 | GR/1 com1 wiringR"},
            // Only the last selection tells, of the port it tried; port 1's event went with it.
            {"selections during a selection", false,
             "GR/0 GR/0 | GR/0 com4 wiring- There was a problem opening the port. Error number: "
             "8040"},
            {"selections during a selection", true,
             "GR/0 GR/0 | GR/0 com4 wiring- There was a problem opening the port. Error number: "
             "8040"},
        };
        for (const bool real : {false, true})
            for (const auto& row : rows)
                QTest::addRow("%s, %s%s", real ? "Qt" : "fake", row.scenario,
                              row.portEvent ? ", port event" : "")
                    << real << QString(row.scenario) << row.portEvent << QString(row.expected);
    }

    void notificationsWaitForTheirTurn() {
        QFETCH(bool, real);
        QFETCH(QString, scenario);
        QFETCH(bool, portEvent);
        QFETCH(QString, expected);

        QtPlatformOnRigClock qt;
        TesterRig rig(real ? &qt : nullptr);
        qt.clock = rig.clock;
        rig.tester.Form_Load();
        rig.deliverEvents();
        rig.view.list.lines.clear();

        QStringList trace;
        qt.afterWait = rig.platform.onSleep = [&] { trace << snapshot(rig); };
        if (portEvent)
            rig.port(1).injectEvent(CommEvents::Break);
        scenarios().at(scenario)(rig);
        rig.deliverEvents();
        trace << "|" << snapshot(rig) << QString("com%1").arg(rig.comPort.CommPort())
              << QString("wiring%1").arg(colourLetter(rig.view.indicator[3]));
        for (const auto& box : rig.view.boxes.shown)
            trace << box.prompt.section("\r\n", 0, 1).replace("\r\n", "");
        QCOMPARE(trace.join(' '), expected);
    }
};

QTEST_MAIN(ReentryTest)
#include "test_reentry.moc"
