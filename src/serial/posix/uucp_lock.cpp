#include "uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "open_errors.h"

namespace {

// A lock file that keeps changing under us is taken as held after this many looks.
constexpr int kAttempts = 5;

// What a lock file says about its holder.
struct Holder {
    enum Kind { None, Alive, Gone, Unreadable } kind = None;
    pid_t pid = 0;
};

bool processAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// The first line: ten characters, the PID right-aligned. Other programs may add lines (the
// program's name, the host).
pid_t parsePid(const QByteArray& text) {
    const QByteArray line = text.left(text.indexOf('\n')).trimmed();
    bool ok = false;
    const long pid = line.toLong(&ok);
    return ok && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// A symbolic link, a FIFO or a file that cannot be read is Unreadable: it is not ours to
// break. A folder we cannot look into hides any lock: None.
Holder readHolder(const QByteArray& file) {
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode))
        return {Holder::Unreadable};
    const int fd = ::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {errno == ENOENT ? Holder::None : Holder::Unreadable};
    char text[32];
    const ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    const pid_t pid = n > 0 ? parsePid(QByteArray(text, n)) : 0;
    if (pid == 0)
        return {Holder::Unreadable};
    return {processAlive(pid) ? Holder::Alive : Holder::Gone, pid};
}

enum class Creation { Taken, Exists, NotWritable };

// Written in full under a name of our own, then linked into place: a reader never sees a
// half-written lock, and of two racing openers link() lets exactly one win.
Creation createLock(const QByteArray& file, const QByteArray& folder) {
    const QByteArray temp = folder + "/LTMP." + QByteArray::number(::getpid());
    ::unlink(temp.constData());  // left by a crashed process of this PID; a link goes, unfollowed
    const int fd =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return Creation::NotWritable;
    ::fchmod(fd, 0644);  // others must read the holder whatever our umask
    const QByteArray line = QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n';
    const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size();
    ::close(fd);
    const int linked = written ? ::link(temp.constData(), file.constData()) : -1;
    const int err = errno;
    ::unlink(temp.constData());
    if (linked == 0)
        return Creation::Taken;
    return written && err == EEXIST ? Creation::Exists : Creation::NotWritable;
}

enum class Removal { Removed, Changed, NotPermitted };

// Moves the stale lock aside before deleting it and checks that what moved is still the stale
// lock: a racer may have replaced it with its own lock since we read it, and that one goes
// back into place.
Removal removeStale(const QByteArray& file, const QByteArray& folder, pid_t stalePid) {
    const QByteArray aside = folder + "/LSTALE." + QByteArray::number(::getpid());
    if (::rename(file.constData(), aside.constData()) != 0)
        return errno == ENOENT ? Removal::Changed : Removal::NotPermitted;
    const Holder moved = readHolder(aside);
    const bool stale = moved.kind == Holder::Gone && moved.pid == stalePid;
    if (!stale)
        ::link(aside.constData(), file.constData());
    ::unlink(aside.constData());
    return stale ? Removal::Removed : Removal::Changed;
}

CommError lockedBy(const QString& path, const QByteArray& file, const Holder& holder) {
    const QString lock = QString::fromLocal8Bit(file);
    if (holder.kind == Holder::Alive)
        return CommError(CommErrors::PortAlreadyOpen,
                         QStringLiteral("%1 is in use by process %2, which holds its lock file %3.")
                             .arg(path)
                             .arg(holder.pid)
                             .arg(lock));
    return CommError(CommErrors::PortAlreadyOpen,
                     QStringLiteral("%1 is locked by %2, which holds no process ID that can be "
                                    "read. If no program is using the port, remove that file.")
                         .arg(path, lock));
}

}  // namespace

QString UucpLock::fileName(const QString& canonicalPath) {
    QString name = canonicalPath;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    else if (name.startsWith('/'))
        name.remove(0, 1);
    return QStringLiteral("LCK..") + name.replace('/', '_');
}

UucpLock::UucpLock(const QString& canonicalPath, const QString& folder, const QString& path) {
    const QByteArray dir = folder.toLocal8Bit();
    const QByteArray file = dir + '/' + fileName(canonicalPath).toLocal8Bit();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const Holder holder = readHolder(file);
        if (holder.kind == Holder::Alive || holder.kind == Holder::Unreadable)
            throw lockedBy(path, file, holder);
        if (holder.kind == Holder::Gone) {
            const Removal removal = removeStale(file, dir, holder.pid);
            if (removal == Removal::NotPermitted)
                return;  // as where the folder cannot be written
            if (removal == Removal::Changed)
                continue;
        }
        switch (createLock(file, dir)) {
            case Creation::Taken:
                file_ = file;
                return;
            case Creation::NotWritable:
                return;
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
