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
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>

#include "device_sinks.h"
#include "pty_pair.h"
#include "system_device.h"
#include "thrown_error.h"

namespace {

constexpr const char* kOpenFlag = "--open";

// The child: opens the port with the given lock folder, prints "opened" and holds the port
// until its input closes, or prints the error's number.
int openInChild(const char* path, const char* lockFolder) {
    NullSink sink;
    SystemFolders folders;
    folders.lock = QString::fromLocal8Bit(lockFolder);
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
    OpenerProcess(const QString& path, const QString& lockFolder) {
        process.start(QCoreApplication::applicationFilePath(), {kOpenFlag, path, lockFolder});
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
int openError(const QString& path) {
    RecordingSink sink;
    const CommError e = errorOf([&] { openSystemDevice(path, {}, sink); });
    return e.description().contains(path) ? e.number() : -e.number();
}

}  // namespace

// Opening a system device: exclusive use, and the errors that name what is wrong.
class TestSystemDevice : public QObject {
    Q_OBJECT

private slots:
    void exclusiveUse() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        auto device = openSystemDevice(pty.slavePath(), {}, sink);

        QCOMPARE(openError(pty.slavePath()), CommErrors::PortAlreadyOpen);
        QTemporaryDir dir;
        const QString alias = dir.filePath("ttyAlias");
        QVERIFY(QFile::link(pty.slavePath(), alias));
        QCOMPARE(openError(alias), CommErrors::PortAlreadyOpen);
        // A process that looks for locks elsewhere is still kept out, by the flock.
        QCOMPARE(OpenerProcess(pty.slavePath(), dir.path()).result(), QString("8005"));

        QElapsedTimer closing;
        closing.start();
        device.reset();
        qInfo("closing stopped the worker in %lld ms", closing.elapsed());

        QCOMPARE(OpenerProcess(pty.slavePath(), dir.path()).result(), QString("opened"));
        device = openSystemDevice(alias, {}, sink);
        QVERIFY(device);
    }

    // A lock file found in the lock folder, as another serial program leaves it.
    void honoursTheLocksOfOthers_data() {
        QTest::addColumn<QByteArray>("found");  // "->": a symbolic link to a file elsewhere
        QTest::addColumn<bool>("opens");
        QTest::newRow("held by a live process") << lockLine(1) << false;
        QTest::newRow("held, with lines after the PID") << QByteArray("1\nterm\nhost\n") << false;
        QTest::newRow("left by a process that ended") << lockLine(endedPid()) << true;
        QTest::newRow("holding no PID") << QByteArray() << false;
        QTest::newRow("a planted symbolic link") << QByteArray("->") << false;
    }
    void honoursTheLocksOfOthers() {
        QFETCH(QByteArray, found);
        QFETCH(bool, opens);
        PtyPair pty;
        QTemporaryDir locks;
        QVERIFY(pty.ok() && locks.isValid());
        const QString lock = lockFor(pty, locks), elsewhere = locks.filePath("elsewhere");
        QVERIFY(found == "->" ? QFile::link(elsewhere, lock) : writeFile(lock, found));
        OpenWatch watch(pty.slavePath());

        RecordingSink sink;
        std::unique_ptr<SerialDevice> device;
        SystemFolders folders;
        folders.lock = locks.path();
        const CommError e =
            errorOf([&] { device = openSystemDevice(pty.slavePath(), {}, sink, folders); });
        if (!opens) {
            QCOMPARE(e.number(), CommErrors::PortAlreadyOpen);
            QVERIFY2(e.description().contains(lock), qPrintable(e.description()));
            QCOMPARE(watch.openings(), 0);  // refused before opening: the holder's lines kept
            QCOMPARE(contentOf(lock), found == "->" ? QByteArray("(none)") : found);
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
        // Opened first: a killed holder leaves the tty exclusive, which this can undo.
        const int early = ::open(pty.slavePath().toLocal8Bit(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(early >= 0);
        OpenWatch watch(pty.slavePath());
        OpenerProcess first(pty.slavePath(), locks.path()), second(pty.slavePath(), locks.path());
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
            OpenerProcess next(pty.slavePath(), locks.path());
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
        try {
            openSystemDevice(pty.slavePath(), {}, sink);
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
    if (argc == 4 && std::strcmp(argv[1], kOpenFlag) == 0)
        return openInChild(argv[2], argv[3]);
    QCoreApplication app(argc, argv);
    TestSystemDevice test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_system_device.moc"
