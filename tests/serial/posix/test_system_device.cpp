#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>

#include "device_sinks.h"
#include "pty_pair.h"
#include "system_device.h"
#include "thrown_error.h"
#include "tty_users.h"

namespace {

constexpr const char* kOpenFlag = "--open";

// The child: opens the port with the given lock and process folders, as another user if
// asked, prints "opened" and holds the port until its input closes, or prints the error's
// number.
int openInChild(const char* path, const char* lockFolder, const char* procFolder, bool asNobody) {
    if (asNobody && ::setuid(65534) != 0)
        return 1;
    NullSink sink;
    SystemFolders folders;
    folders.lock = QString::fromLocal8Bit(lockFolder);
    folders.proc = QString::fromLocal8Bit(procFolder);
    try {
        auto device = openSystemDevice(QString::fromLocal8Bit(path), {}, sink, folders);
        std::printf("opened\n");
        std::fflush(stdout);
        for (char c; ::read(STDIN_FILENO, &c, 1) > 0;) {
        }
    } catch (const CommError& e) {
        std::printf("%d\n", e.number());
    }
    return 0;
}

// Another process opening the port, as another tester would.
struct OpenerProcess {
    OpenerProcess(const QString& path, const QString& lockFolder,
                  const QString& procFolder = SystemFolders{}.proc, bool asNobody = false) {
        process.start(QCoreApplication::applicationFilePath(),
                      {kOpenFlag, path, lockFolder, procFolder, asNobody ? "nobody" : "self"});
    }
    ~OpenerProcess() {
        process.closeWriteChannel();
        process.waitForFinished();
    }
    // "opened" or the number of the error that opening raised.
    QString result() {
        if (!process.canReadLine())
            process.waitForReadyRead(5000);
        return QString::fromLatin1(process.readLine()).trimmed();
    }
    QProcess process;
};

// Counts the openings of a file (inotify; an O_PATH handle or stat() is none).
class OpenWatch {
public:
    explicit OpenWatch(const QString& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        inotify_add_watch(fd_, path.toLocal8Bit().constData(), IN_OPEN);
    }
    ~OpenWatch() { ::close(fd_); }
    int openings() const {
        inotify_event events[64];  // a watched file's events carry no name
        const ssize_t n = ::read(fd_, events, sizeof events);
        return n > 0 ? int(n / ssize_t(sizeof(inotify_event))) : 0;
    }

private:
    const int fd_;
};

// A PID that no process has: one that ended.
pid_t endedPid() {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

QByteArray lockLine(qint64 pid) {
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

QString lockFor(const PtyPair& pty, const QTemporaryDir& locks) {
    return locks.filePath("LCK.." + pty.slavePath().mid(5).replace('/', '_'));
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The number of the error that opening `path` raises, negated when its description does not
// name the device; 0 when it opens.
int openError(const QString& path, const SystemFolders& folders) {
    RecordingSink sink;
    const CommError e = errorOf([&] { openSystemDevice(path, {}, sink, folders); });
    return e.description().contains(path) ? e.number() : -e.number();
}

}  // namespace

// Opening a system device: exclusive use, and the errors that name what is wrong.
class TestSystemDevice : public QObject {
    Q_OBJECT

private slots:
    void exclusiveUse() {
        PtyPair pty;
        QTemporaryDir dir;
        QVERIFY(pty.ok() && dir.isValid());
        SystemFolders folders;
        folders.lock = dir.path();
        RecordingSink sink;
        auto device = openSystemDevice(pty.slavePath(), {}, sink, folders);

        QCOMPARE(openError(pty.slavePath(), folders), CommErrors::PortAlreadyOpen);
        const QString alias = dir.filePath("ttyAlias"), node = dir.filePath("ttyNode");
        QVERIFY(QFile::link(pty.slavePath(), alias));
        QCOMPARE(openError(alias, folders), CommErrors::PortAlreadyOpen);
        // A second node of the device (root only): its own inode escapes the flock, and a root
        // opener TIOCEXCL; the lock named after the device still keeps it out.
        struct stat st {};
        QCOMPARE(::stat(pty.slavePath().toLocal8Bit(), &st), 0);
        if (::mknod(node.toLocal8Bit(), S_IFCHR | 0600, st.st_rdev) == 0)
            QCOMPARE(OpenerProcess(node, dir.path(), dir.filePath("none")).result(),
                     QString("8005"));
        // A process that looks for locks elsewhere is still kept out, by the process table.
        QCOMPARE(OpenerProcess(pty.slavePath(), dir.filePath("elsewhere")).result(),
                 QString("8005"));

        QElapsedTimer closing;
        closing.start();
        device.reset();
        qInfo("closing stopped the worker in %lld ms", closing.elapsed());
        device = openSystemDevice(alias, {}, sink, folders);
        QVERIFY(device);
    }

    // A peer that takes no lock file we see, found in the process table before our open could
    // move its lines.
    void aPeerWithoutOurLockIsRefusedBeforeTheOpen_data() {
        QTest::addColumn<QString>("program");  // run on the port: "@" stands for it
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("this program, locking elsewhere")
            << QCoreApplication::applicationFilePath()
            << QStringList{kOpenFlag, "@", QDir::tempPath() + "/none", "/proc", "self"};
        QTest::newRow("picocom, flock only") << "picocom" << QStringList{"-q", "--noreset", "@"};
    }
    void aPeerWithoutOurLockIsRefusedBeforeTheOpen() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        if (QStandardPaths::findExecutable(program).isEmpty())
            QSKIP("not installed");
        PtyPair pty;
        QTemporaryDir locks;
        QVERIFY(pty.ok() && locks.isValid());
        QProcess peer;
        peer.start(program, arguments.replaceInStrings("@", pty.slavePath()));
        struct stat st {};
        QCOMPARE(::stat(pty.slavePath().toLocal8Bit(), &st), 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            !TtyUsers("/proc", TtyUsers::OpenFilesToo).holding(st.st_rdev).empty(), 5000);
        OpenWatch watch(pty.slavePath());
        RecordingSink sink;
        SystemFolders folders;
        folders.lock = locks.path();
        const CommError e = errorOf([&] { openSystemDevice(pty.slavePath(), {}, sink, folders); });
        const QString named =  // as the kernel keeps a command name: 15 characters
            QString("%1, PID %2").arg(QFileInfo(program).fileName().left(15)).arg(peer.processId());
        peer.kill();
        peer.waitForFinished();
        QCOMPARE(e.number(), CommErrors::PortAlreadyOpen);
        QVERIFY2(e.description().contains(named), qPrintable(e.description()));
        QCOMPARE(watch.openings(), 0);
    }

    // A lock file found in the lock folder, as another serial program leaves it, and what
    // blocks our own.
    void honoursTheLocksOfOthers_data() {
        QTest::addColumn<QByteArray>("found");  // "->": a symbolic link; "dir": a folder at
                                                // our temporary name, and no lock
        QTest::addColumn<bool>("asNobody");     // opened by a user that is not the lock's owner
        QTest::addColumn<int>("refusal");       // 0: opens
        QTest::addColumn<QString>("told");      // in the description; "@": the file in the way
        const QByteArray ended = lockLine(endedPid());
        const auto binary = [](qint32 pid) { return QByteArray(reinterpret_cast<char*>(&pid), 4); };
        const int held = CommErrors::PortAlreadyOpen;
        QTest::newRow("held by a live process") << lockLine(1) << false << held << "PID 1,";
        QTest::newRow("held, with lines after the PID")
            << QByteArray("1\nterm\nhost\n") << false << held << "@";
        QTest::newRow("held, no newline") << lockLine(1).trimmed() << false << held << "PID 1,";
        QTest::newRow("held, binary") << binary(1) << false << held << "PID 1,";
        QTest::newRow("left by a process that ended") << ended << false << 0 << "";
        QTest::newRow("ended, no newline") << ended.chopped(1) << false << 0 << "";
        QTest::newRow("ended, binary")
            << binary(qint32(ended.trimmed().toInt())) << false << 0 << "";
        QTest::newRow("holding no PID") << QByteArray() << false << held << "@";
        QTest::newRow("a planted symbolic link") << QByteArray("->") << false << held << "@";
        QTest::newRow("a folder at the temporary name")
            << QByteArray("dir") << false << CommErrors::OpenFailed << "@";
        QTest::newRow("ended, not ours to remove") << ended << true << held << "";
        QTest::newRow("held, not ours to read") << lockLine(1) << true << held << "";
    }
    void honoursTheLocksOfOthers() {
        QFETCH(QByteArray, found);
        QFETCH(bool, asNobody);
        QFETCH(int, refusal);
        QFETCH(QString, told);
        if (asNobody && ::geteuid() != 0)
            QSKIP("only root can act as another user");
        PtyPair pty;
        QTemporaryDir locks;
        QVERIFY(pty.ok() && locks.isValid());
        const QString lock = lockFor(pty, locks), elsewhere = locks.filePath("elsewhere");
        const QString temp =
            locks.filePath(QString("LTMP.%1").arg(QCoreApplication::applicationPid()));
        QVERIFY(found == "->"    ? QFile::link(elsewhere, lock)
                : found == "dir" ? QDir().mkpath(temp + "/inside")
                                 : writeFile(lock, found));
        // A sticky folder, as /run/lock is, with a lock only its owner may read.
        QVERIFY(!asNobody ||
                (::chmod(locks.path().toLocal8Bit(), 01777) == 0 &&
                 ::chmod(lock.toLocal8Bit(), found == lockLine(1) ? 0600 : 0644) == 0));
        OpenWatch watch(pty.slavePath());

        RecordingSink sink;
        std::unique_ptr<SerialDevice> device;
        SystemFolders folders;
        folders.lock = locks.path();
        const CommError e =
            asNobody
                ? CommError(OpenerProcess(pty.slavePath(), locks.path(), folders.proc, true)
                                .result()
                                .toInt(),
                            lock)
                : errorOf([&] { device = openSystemDevice(pty.slavePath(), {}, sink, folders); });
        if (refusal) {
            QCOMPARE(e.number(), refusal);
            QVERIFY2(e.description().contains(told == "@" ? (found == "dir" ? temp : lock) : told),
                     qPrintable(e.description()));
            QCOMPARE(watch.openings(), 0);  // refused before opening: the holder's lines kept
            QCOMPARE(contentOf(lock),
                     found == "->" || found == "dir" ? QByteArray("(none)") : found);
            QVERIFY(!QFile::exists(elsewhere));
            return;
        }
        QVERIFY2(device, qPrintable(e.description()));
        QCOMPARE(contentOf(lock), lockLine(QCoreApplication::applicationPid()));
        device.reset();
        QVERIFY(!QFile::exists(lock));
    }

    void ofTwoRacingOpenersOneWinsAndItsLockIsStaleOnceItIsKilled() {
        PtyPair pty;
        QTemporaryDir locks;
        QVERIFY(pty.ok() && locks.isValid());
        // Opened first: a killed holder leaves the tty exclusive, which this can undo. The
        // openers look at no process table, or they would see it and keep out.
        const QString noProcesses = locks.filePath("proc");
        const int early = ::open(pty.slavePath().toLocal8Bit(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(early >= 0);
        OpenWatch watch(pty.slavePath());
        OpenerProcess first(pty.slavePath(), locks.path(), noProcesses),
            second(pty.slavePath(), locks.path(), noProcesses);
        const QString firstResult = first.result();
        QStringList results{firstResult, second.result()};
        results.sort();
        QCOMPARE(results, QStringList({"8005", "opened"}));
        QCOMPARE(watch.openings(), 1);  // the loser was turned away by the lock, unopened

        QProcess& winner = (firstResult == "opened" ? first : second).process;
        const QByteArray winnersLine = lockLine(winner.processId());
        winner.kill();
        winner.waitForFinished();
        QCOMPARE(contentOf(lockFor(pty, locks)), winnersLine);
        QCOMPARE(::ioctl(early, TIOCNXCL), 0);
        ::close(early);
        {
            OpenerProcess next(pty.slavePath(), locks.path(), noProcesses);
            QCOMPARE(next.result(), QString("opened"));
            QCOMPARE(contentOf(lockFor(pty, locks)), lockLine(next.process.processId()));
        }
        QVERIFY(!QFile::exists(lockFor(pty, locks)));
    }

    // Refused after stat() and sysfs alone: opening the node could start a watchdog or raise
    // a modem's lines.
    void refusesWhatIsNoSerialTty_data() {
        QTest::addColumn<QString>("node");  // "/dev/null", or a kind made in a temporary folder
        QTest::addColumn<QStringList>("sysfs");  // how a fake sysfs shows /dev/null; none: the real
        QTest::addColumn<QString>("why");
        const QStringList real;
        QTest::newRow("nothing") << "missing" << real << "does not exist";
        QTest::newRow("folder") << "folder" << real << "not a device";
        QTest::newRow("regular file") << "file" << real << "not a device";
        QTest::newRow("FIFO") << "fifo" << real << "not a device";
        QTest::newRow("another class of device") << "/dev/null" << real << "not a terminal device";
        QTest::newRow("console or virtual terminal")
            << "/dev/null" << QStringList{"subsystem"} << "without serial hardware";
        QTest::newRow("legacy UART without a chip")
            << "/dev/null" << QStringList{"subsystem", "device", "type"} << "no UART";
    }
    void refusesWhatIsNoSerialTty() {
        QFETCH(QString, node);
        QFETCH(QStringList, sysfs);
        QFETCH(QString, why);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        SystemFolders folders{.sys = dir.filePath("sys"), .lock = dir.path()};
        if (sysfs.isEmpty())
            folders.sys = SystemFolders{}.sys;
        else  // the tty class, a device behind it, a native UART's type 0
            QVERIFY(QDir().mkpath(folders.sys + "/dev/char/1:3") &&
                    QDir().mkpath(folders.sys + "/class/tty"));
        for (const QString& attribute : sysfs) {
            const QString at = folders.sys + "/dev/char/1:3/" + attribute;
            QVERIFY(attribute == "type" ? writeFile(at, "0\n")
                                        : QFile::link("../../../class/tty", at));
        }
        const QString path = node.startsWith('/') ? node : dir.filePath(node);
        QVERIFY(node != "folder" || QDir().mkdir(path));
        QVERIFY(node != "file" || writeFile(path, ""));
        QVERIFY(node != "fifo" || ::mkfifo(path.toLocal8Bit(), 0600) == 0);
        const OpenWatch watch(node.startsWith('/') ? QString() : path);  // none on /dev/null

        RecordingSink sink;
        const CommError e = errorOf([&] { openSystemDevice(path, {}, sink, folders); });
        QCOMPARE(e.number(), CommErrors::InvalidPortNumber);
        QVERIFY2(e.description().contains(path) && e.description().contains(why),
                 qPrintable(e.description()));
        QCOMPARE(watch.openings(), 0);
    }

    void permissionDenied() {
        if (geteuid() == 0)
            QSKIP("root may open any device");
        PtyPair pty;
        QVERIFY(pty.ok());
        const QByteArray path = pty.slavePath().toLocal8Bit();
        struct stat st {};
        QCOMPARE(::stat(path, &st), 0);
        QCOMPARE(::chmod(path, 0), 0);
        RecordingSink sink;
        QTemporaryDir locks;
        SystemFolders folders;
        folders.lock = locks.path();
        try {
            openSystemDevice(pty.slavePath(), {}, sink, folders);
            ::chmod(path, st.st_mode & 07777);
            QFAIL("opened a device without permission");
        } catch (const CommError& e) {
            ::chmod(path, st.st_mode & 07777);
            QCOMPARE(e.number(), CommErrors::PermissionDenied);
            QVERIFY(e.description().contains(pty.slavePath()));
            QVERIFY(e.description().contains("read and write access"));
        }
    }
};

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], kOpenFlag) == 0)
        return openInChild(argv[2], argv[3], argv[4], std::strcmp(argv[5], "nobody") == 0);
    QCoreApplication app(argc, argv);
    TestSystemDevice test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_system_device.moc"
