#include "tty_users.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QStringList>
#include <algorithm>
#include <cstring>
#include <memory>

#include "unique_fd.h"

namespace {

using DirHandle = std::unique_ptr<DIR, int (*)(DIR*)>;

DirHandle openFolder(const QByteArray& path) {
    return {::opendir(path.constData()), [](DIR* dir) { return dir ? ::closedir(dir) : 0; }};
}

QByteArray readSmallFile(const QByteArray& path) {
    const UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return {};
    char text[512];
    const ssize_t n = ::read(fd.get(), text, sizeof text);
    return n > 0 ? QByteArray(text, n) : QByteArray();
}

// The command name and the controlling terminal from /proc/PID/stat: "PID (NAME) S PPID
// PGRP SID TTY_NR ...". The name may hold blanks and parentheses, so it ends at the last ')'.
struct StatLine {
    QString program;
    dev_t terminal = 0;
    bool kernelThread = false;  // has no files to look at
};

StatLine parseStat(const QByteArray& text) {
    const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
    if (open < 0 || close < open)
        return {};
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    const unsigned long ttyNr = fields.size() > 4 ? fields[4].toULong() : 0;
    constexpr unsigned long kKernelThreadFlag = 0x00200000;
    const bool kernelThread = fields.size() > 6 && (fields[6].toULong() & kKernelThreadFlag);
    // The kernel's encoding of a device number in 32 bits.
    const unsigned int devMajor = (ttyNr >> 8) & 0xfff;
    const unsigned int devMinor = (ttyNr & 0xff) | ((ttyNr >> 12) & 0xfff00);
    return {QString::fromUtf8(text.mid(open + 1, close - open - 1)),
            ttyNr ? makedev(devMajor, devMinor) : 0, kernelThread};
}

bool isProcessFolder(const char* name) {
    return *name &&
           std::all_of(name, name + std::strlen(name), [](char c) { return c >= '0' && c <= '9'; });
}

void addOnce(std::vector<TtyUser>& users, const TtyUser& user) {
    const bool known = std::any_of(users.begin(), users.end(),
                                   [&](const TtyUser& seen) { return seen.pid == user.pid; });
    if (!known)
        users.push_back(user);
}

}  // namespace

TtyUsers::TtyUsers(const QString& procRoot, Look look) {
    const QByteArray root = procRoot.toLocal8Bit() + '/';
    const DirHandle processes = openFolder(root);
    if (!processes)
        return;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(processes.get())) {
        if (!isProcessFolder(entry->d_name))
            continue;
        const pid_t pid = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
        if (pid == self)
            continue;
        const QByteArray folder = root + entry->d_name;
        const StatLine stat = parseStat(readSmallFile(folder + "/stat"));
        const TtyUser user{pid, stat.program};
        if (stat.terminal)
            addOnce(controlling_[stat.terminal], user);
        if (look == OpenFilesToo && !stat.kernelThread)
            readOpenFiles(QString::fromLocal8Bit(folder), user);
    }
}

// Only links into /dev are looked at through: stat() on a link to a file on a hung network
// mount could wait.
void TtyUsers::readOpenFiles(const QString& processFolder, const TtyUser& user) {
    const DirHandle files = openFolder(processFolder.toLocal8Bit() + "/fd");
    if (!files)
        return;  // another user's process, where we may not look
    const int folderFd = ::dirfd(files.get());
    while (const dirent* entry = ::readdir(files.get())) {
        char target[8];
        const ssize_t n = ::readlinkat(folderFd, entry->d_name, target, sizeof target);
        if (n < 5 || std::memcmp(target, "/dev/", 5) != 0)
            continue;
        struct stat st {};
        if (::fstatat(folderFd, entry->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode))
            addOnce(open_[st.st_rdev], user);
    }
}

const std::vector<TtyUser>& TtyUsers::find(const ByDevice& users, dev_t device) {
    static const std::vector<TtyUser> kNone;
    const auto found = users.find(device);
    return found == users.end() ? kNone : found->second;
}

QString TtyUsers::programOf(pid_t pid, const QString& procRoot) {
    const QByteArray comm =
        readSmallFile(procRoot.toLocal8Bit() + '/' + QByteArray::number(pid) + "/comm");
    return QString::fromUtf8(comm).trimmed();
}

QString describeUsers(const std::vector<TtyUser>& users) {
    QStringList texts;
    for (const TtyUser& user : users)
        texts << (user.program.isEmpty()
                      ? QStringLiteral("PID %1").arg(user.pid)
                      : QStringLiteral("%1, PID %2").arg(user.program).arg(user.pid));
    return texts.join(QStringLiteral("; "));
}

QString serviceAdvice(const QString& program, const QString& devicePath) {
    if (program == QLatin1String("ModemManager"))
        return QStringLiteral(
                   "ModemManager is the desktop's modem service; it probes new serial adapters "
                   "for a modem. To keep it off %1, add a udev rule setting "
                   "ENV{ID_MM_DEVICE_IGNORE}=\"1\" for the adapter, or stop it with "
                   "\"systemctl stop ModemManager\".")
            .arg(devicePath);
    if (program == QLatin1String("brltty"))
        return QStringLiteral(
                   "brltty is the braille display driver; it claims USB serial adapters that "
                   "look like braille displays. If no braille display is used, remove it (\"apt "
                   "remove brltty\") or disable it (\"systemctl mask brltty-udev\") and plug %1 "
                   "in again.")
            .arg(devicePath);
    return {};
}
