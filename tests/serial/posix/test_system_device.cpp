#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <optional>

#include "device_sinks.h"
#include "open_watch.h"
#include "pty_pair.h"
#include "system_device.h"
#include "thrown_error.h"

extern char** environ;

namespace {

constexpr const char* kTryOpenFlag = "--try-open";

// Exit codes of the child that tries to open a port.
enum ChildResult { ChildOpened = 0, ChildNoPort = 2, ChildInUse = 5, ChildOtherError = 9 };

int tryOpenInChild(const char* path) {
    NullSink sink;
    try {
        openSystemDevice(QString::fromLocal8Bit(path), {}, sink);
        return ChildOpened;
    } catch (const CommError& e) {
        if (e.number() == CommErrors::PortAlreadyOpen)
            return ChildInUse;
        if (e.number() == CommErrors::InvalidPortNumber)
            return ChildNoPort;
        return ChildOtherError;
    }
}

int runChildOpen(const QString& path) {
    const QByteArray exe = QCoreApplication::applicationFilePath().toLocal8Bit();
    const QByteArray target = path.toLocal8Bit();
    char* argv[] = {const_cast<char*>(exe.constData()), const_cast<char*>(kTryOpenFlag),
                    const_cast<char*>(target.constData()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.constData(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
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
        QCOMPARE(runChildOpen(pty.slavePath()), int(ChildInUse));

        QElapsedTimer closing;
        closing.start();
        device.reset();
        QVERIFY2(closing.elapsed() < 200, "closing must stop the worker promptly");

        QCOMPARE(runChildOpen(pty.slavePath()), int(ChildOpened));
        device = openSystemDevice(alias, {}, sink);
        QVERIFY(device);
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
            << "/dev/null" << QStringList{"tty"} << "without serial hardware";
        QTest::newRow("legacy UART without a chip")
            << "/dev/null" << QStringList{"tty", "device", "type 0"} << "no UART";
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
        const QString entry = folders.sys + "/dev/char/1:3";
        QVERIFY(QDir().mkpath(entry) && QDir().mkpath(folders.sys + "/class/tty"));
        if (sysfs.contains("tty"))
            QVERIFY(QFile::link("../../../class/tty", entry + "/subsystem"));
        if (sysfs.contains("device"))
            QVERIFY(QFile::link("../../../class", entry + "/device"));
        if (sysfs.contains("type 0"))
            QVERIFY(writeFile(entry + "/type", "0\n"));

        const QString path = node.startsWith('/') ? node : dir.filePath(node);
        if (node == "folder")
            QVERIFY(QDir().mkdir(path));
        if (node == "file")
            QVERIFY(writeFile(path, ""));
        if (node == "fifo")
            QCOMPARE(::mkfifo(path.toLocal8Bit(), 0600), 0);
        std::optional<OpenWatch> watch;
        if (!node.startsWith('/') && node != "missing")
            QVERIFY(watch.emplace(path).ok());

        RecordingSink sink;
        const CommError e = errorOf([&] { openSystemDevice(path, {}, sink, folders); });
        QCOMPARE(e.number(), CommErrors::InvalidPortNumber);
        QVERIFY2(e.description().contains(path) && e.description().contains(why),
                 qPrintable(e.description()));
        if (watch)
            QCOMPARE(watch->openings(), 0);
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
    if (argc == 3 && std::strcmp(argv[1], kTryOpenFlag) == 0)
        return tryOpenInChild(argv[2]);
    QCoreApplication app(argc, argv);
    TestSystemDevice test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_system_device.moc"
