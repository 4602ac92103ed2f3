#include "port_holders.h"

#include <unistd.h>

#include <algorithm>

#include "uucp_lock.h"

std::vector<TtyUser> portHolders(dev_t device, const QString& deviceName,
                                 const SystemFolders& folders, const TtyUsers& users) {
    std::vector<TtyUser> holders;
    const LockHolder lock = UucpLock::holderOf(deviceName, folders.lock);
    if (lock.kind == LockHolder::Alive && lock.pid != ::getpid())
        holders.push_back({lock.pid, TtyUsers::programOf(lock.pid, folders.proc)});
    for (const TtyUser& user : users.holding(device)) {
        const bool known = std::any_of(holders.begin(), holders.end(),
                                       [&](const TtyUser& seen) { return seen.pid == user.pid; });
        if (!known)
            holders.push_back(user);
    }
    return holders;
}

QString heldByText(const std::vector<TtyUser>& holders, const QString& path) {
    if (holders.empty())
        return {};
    QString text = QStringLiteral("in use by ") + describeUsers(holders);
    for (const TtyUser& holder : holders) {
        const QString advice = serviceAdvice(holder.program, path);
        if (!advice.isEmpty())
            text += QStringLiteral(". ") + advice;
    }
    return text;
}

QString newAdapterAdvice(const QString& path) {
    return QStringLiteral(
               "It vanished within a second of being plugged in, as an adapter does "
               "when a service that grabs new adapters takes it. ") +
           serviceAdvice(QStringLiteral("ModemManager"), path) + ' ' +
           serviceAdvice(QStringLiteral("brltty"), path);
}
