#include "open_errors.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "device_loss.h"

namespace {

QString owningGroup(const QString& path) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return {};
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QString::fromLocal8Bit(found->gr_name);
}

CommError accessDenied(const QString& path) {
    const QString group = owningGroup(path);
    const QString how =
        group.isEmpty() || group == QLatin1String("root")
            ? QStringLiteral(
                  "membership of the group that owns it (typically "
                  "dialout)")
            : QStringLiteral("membership of the group \"%1\" that owns it").arg(group);
    return CommError(CommErrors::PermissionDenied,
                     QStringLiteral("Permission denied opening %1: this user needs read and write "
                                    "access to it, for example %2 (log in again after joining a "
                                    "group).")
                         .arg(path, how));
}

}  // namespace

CommError noSuchPort(const QString& path, const QString& why) {
    return CommError(CommErrors::InvalidPortNumber,
                     QStringLiteral("%1 is not a usable serial port: %2.").arg(path, why));
}

CommError inUse(const QString& path) {
    return CommError(CommErrors::PortAlreadyOpen,
                     QStringLiteral("%1 is already in use, by another program or by another "
                                    "port number of this one.")
                         .arg(path));
}

CommError openError(const QString& path, int err) {
    if (DeviceLoss::meansGone(err))
        return noSuchPort(
            path,
            QStringLiteral("no working device answers behind it (%1)").arg(systemErrorText(err)));
    switch (err) {
        case ENOENT:
            return noSuchPort(path, QStringLiteral("it does not exist"));
        case EISDIR:
        case ENOTDIR:
            return noSuchPort(path, QStringLiteral("it is not a device"));
        case EBUSY:
            return inUse(path);
        case EACCES:
        case EPERM:
            return accessDenied(path);
        default:
            return CommError(CommErrors::OpenFailed,
                             describeSystemError(QStringLiteral("Opening"), path, err));
    }
}
