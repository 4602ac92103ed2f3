#include "uucp_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "open_errors.h"
#include "tty_users.h"
#include "unique_fd.h"

namespace {

// A lock file that keeps changing under us is taken as held after this many looks.
constexpr int kAttempts = 5;

bool processAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// Exactly four bytes that are not all digits and blanks: the old binary form. No PID is
// large enough for its four bytes to read as ASCII digits.
bool isBinaryPid(const QByteArray& text) {
    if (text.size() != int(sizeof(qint32)))
        return false;
    for (const char c : text)
        if (!(c == ' ' || (c >= '0' && c <= '9')))
            return true;
    return false;
}

// The first line: the PID right-aligned in ten characters. Other programs may leave out the
// newline or add lines (the program's name, the host).
pid_t parsePid(const QByteArray& text) {
    long pid = 0;
    if (isBinaryPid(text)) {
        qint32 binary = 0;
        std::memcpy(&binary, text.constData(), sizeof binary);
        pid = binary;
    } else {
        const qsizetype end = text.indexOf('\n');
        bool ok = false;
        pid = text.left(end < 0 ? text.size() : end).trimmed().toLong(&ok);
        if (!ok)
            pid = 0;
    }
    return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// A symbolic link, a FIFO or a file that cannot be read is Unreadable: it is not ours to
// break. A folder we cannot look into hides any lock: None.
LockHolder readHolder(const QByteArray& file) {
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode))
        return {LockHolder::Unreadable};
    const UniqueFd fd(::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        return {errno == ENOENT ? LockHolder::None : LockHolder::Unreadable};
    char text[32];
    const ssize_t n = ::read(fd.get(), text, sizeof text);
    const pid_t pid = n > 0 ? parsePid(QByteArray(text, n)) : 0;
    if (pid == 0)
        return {LockHolder::Unreadable};
    return {processAlive(pid) ? LockHolder::Alive : LockHolder::Gone, pid};
}

// "root", or the number of a user without a name.
QString ownerOf(const QByteArray& file) {
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0)
        return QStringLiteral("unknown");
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(st.st_uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QStringLiteral("user %1").arg(st.st_uid);
    return QString::fromLocal8Bit(found->pw_name);
}

enum class Creation { Taken, Exists, FolderUnusable, Blocked };

// Written in full under a name of our own, then linked into place: a reader never sees a
// half-written lock, and of two racing openers link() lets exactly one win. Anything that
// stands at our name and is not ours to remove blocks the lock.
Creation createLock(const QByteArray& file, const QByteArray& temp) {
    ::unlink(temp.constData());  // left by a crashed process of this PID; a link goes, unfollowed
    UniqueFd fd(
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.valid())
        return errno == EEXIST || errno == ELOOP ? Creation::Blocked : Creation::FolderUnusable;
    ::fchmod(fd.get(), 0644);  // others must read the holder whatever our umask
    const QByteArray line = QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n';
    const bool written = ::write(fd.get(), line.constData(), size_t(line.size())) == line.size();
    fd.reset();  // the lock is complete before it is linked into place
    const int linked = written ? ::link(temp.constData(), file.constData()) : -1;
    const int err = errno;
    ::unlink(temp.constData());
    if (linked == 0)
        return Creation::Taken;
    return written && err == EEXIST ? Creation::Exists : Creation::Blocked;
}

enum class Removal { Removed, Changed, NotPermitted };

// Moves the stale lock aside before deleting it and checks that what moved is still the stale
// lock: a racer may have replaced it with its own lock since we read it, and that one goes
// back into place.
Removal removeStale(const QByteArray& file, const QByteArray& aside, pid_t stalePid) {
    if (::rename(file.constData(), aside.constData()) != 0)
        return errno == ENOENT ? Removal::Changed : Removal::NotPermitted;
    const LockHolder moved = readHolder(aside);
    const bool stale = moved.kind == LockHolder::Gone && moved.pid == stalePid;
    if (!stale)
        ::link(aside.constData(), file.constData());
    ::unlink(aside.constData());
    return stale ? Removal::Removed : Removal::Changed;
}

CommError lockedBy(const QString& path, const QByteArray& file, const LockHolder& holder,
                   const QString& procRoot) {
    const QString lock = QString::fromLocal8Bit(file);
    if (holder.kind == LockHolder::Alive) {
        const QString program = TtyUsers::programOf(holder.pid, procRoot);
        QString text = QStringLiteral("%1 is in use by %2, which holds its lock file %3.")
                           .arg(path, describeUsers({{holder.pid, program}}), lock);
        const QString advice = serviceAdvice(program, path);
        return CommError(CommErrors::PortAlreadyOpen,
                         advice.isEmpty() ? text : text + ' ' + advice);
    }
    return CommError(CommErrors::PortAlreadyOpen,
                     QStringLiteral("%1 is locked by %2 (owned by %3), which holds no process ID "
                                    "that can be read. If no program is using the port, remove "
                                    "that file.")
                         .arg(path, lock, ownerOf(file)));
}

CommError staleLockStays(const QString& path, const QByteArray& file, pid_t pid) {
    return CommError(CommErrors::PortAlreadyOpen,
                     QStringLiteral("%1 is locked by %2 (owned by %3), left by process %4, "
                                    "which has ended; this user may not remove it. Remove that "
                                    "file as its owner or as root.")
                         .arg(path, QString::fromLocal8Bit(file), ownerOf(file))
                         .arg(pid));
}

CommError lockBlocked(const QString& path, const QByteArray& temp) {
    return CommError(CommErrors::OpenFailed,
                     QStringLiteral("%1 cannot be locked: %2 (owned by %3) stands at the name "
                                    "its lock file is made under. Remove it.")
                         .arg(path, QString::fromLocal8Bit(temp), ownerOf(temp)));
}

QByteArray lockFile(const QString& deviceName, const QString& lockFolder) {
    return lockFolder.toLocal8Bit() + '/' + UucpLock::fileName(deviceName).toLocal8Bit();
}

}  // namespace

QString UucpLock::fileName(const QString& deviceName) {
    return QStringLiteral("LCK..") + QString(deviceName).replace('/', '_');
}

LockHolder UucpLock::holderOf(const QString& deviceName, const QString& lockFolder) {
    return readHolder(lockFile(deviceName, lockFolder));
}

UucpLock::UucpLock(const QString& deviceName, const SystemFolders& folders, const QString& path) {
    const QByteArray dir = folders.lock.toLocal8Bit();
    const QByteArray file = lockFile(deviceName, folders.lock);
    const QByteArray pid = QByteArray::number(::getpid());
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const LockHolder holder = readHolder(file);
        if (holder.kind == LockHolder::Alive || holder.kind == LockHolder::Unreadable)
            throw lockedBy(path, file, holder, folders.proc);
        if (holder.kind == LockHolder::Gone) {
            const Removal removal = removeStale(file, dir + "/LSTALE." + pid, holder.pid);
            if (removal == Removal::NotPermitted)
                throw staleLockStays(path, file, holder.pid);
            if (removal == Removal::Changed)
                continue;
        }
        const QByteArray temp = dir + "/LTMP." + pid;
        switch (createLock(file, temp)) {
            case Creation::Taken:
                file_ = file;
                return;
            case Creation::FolderUnusable:
                return;
            case Creation::Blocked:
                throw lockBlocked(path, temp);
            case Creation::Exists:
                break;
        }
    }
    throw inUse(path);
}

UucpLock::~UucpLock() {
    if (taken() && readHolder(file_).pid == ::getpid())
        ::unlink(file_.constData());
}
