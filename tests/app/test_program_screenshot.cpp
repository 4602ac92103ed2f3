#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "program_under_test.h"
#include "pty_pair.h"

namespace {

// The pixel at the middle of an element placed in twips, at 15 twips a pixel.
QColor colourAt(const QImage& image, int left, int top, int width, int height) {
    return image.pixelColor((left + width / 2) / 15, (top + height / 2) / 15);
}

}  // namespace

// Starts the real program on the simulated loopback rig and reads the lamps off its picture.
class ProgramScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void theLoopbackRigLightsTheLamps() {
        QTemporaryDir dir;
        const QString shot = dir.filePath("window.png");
        QProcess program;
        program.start(programPath(),
                      {"-platform", "offscreen", "--port", "1=sim", "--screenshot", shot});
        QVERIFY2(program.waitForFinished(30000), "the program did not finish");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        const QImage image(shot);
        QCOMPARE(image.size(), QSize(441, 420));
        const QColor red(255, 0, 0), green(0, 255, 0);
        QCOMPARE(colourAt(image, 1620, 1905, 375, 345), green);  // wiring
        QCOMPARE(colourAt(image, 4845, 750, 255, 135), red);     // DTR on
        QCOMPARE(colourAt(image, 4845, 1230, 255, 135), green);  // RTS off
        QCOMPARE(colourAt(image, 1620, 675, 375, 345), red);     // DSR follows DTR
        QCOMPARE(colourAt(image, 1620, 1080, 375, 345), green);  // CTS follows RTS
        QCOMPARE(colourAt(image, 1620, 1485, 375, 345), red);    // CD follows DTR
    }

    // The box keeps its fixed text; why a path is no port goes to standard error.
    void aBoxOpenAtStartDoesNotHoldTheScreenshot_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("told");
        QTest::newRow("absent") << "sim:absent"
                                << "";
        QTest::newRow("a folder") << "@"
                                  << "it is a folder, not a device";
    }
    void aBoxOpenAtStartDoesNotHoldTheScreenshot() {
        QFETCH(QString, device);
        QFETCH(QString, told);
        QTemporaryDir dir;
        QProcess program;
        program.start(programPath(),
                      {"-platform", "offscreen", "--port", "1=" + device.replace('@', dir.path()),
                       "--screenshot", dir.filePath("window.png")});
        QVERIFY2(program.waitForFinished(30000), "the program did not finish");
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QImage(dir.filePath("window.png")).size() == QSize(441, 420));
        QVERIFY(QString(program.readAllStandardError()).contains(told));
    }

    // Answered or refused before any window, so also where there is no display at all; a
    // refusal is one line that names the program and points to the help.
    void answeredBeforeAnyWindow_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("told");
        QTest::newRow("relative device")
            << QStringList{"-platform", "offscreen", "--port", "1=ttyUSB0"} << 2 << "absolute path";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
        QTest::newRow("stray word") << QStringList{"foo"} << 2 << "\"foo\" is not an option";
        QTest::newRow("number given twice")
            << QStringList{"--port", "1=sim", "--port", "1=sim:noisy"} << 2 << "given twice";
        QTest::newRow("no display") << QStringList{"--port", "1=sim"} << 2 << "no display";
        QTest::newRow("no display for xcb")
            << QStringList{"-platform", "xcb", "--port", "1=sim"} << 2 << "no display";
        QTest::newRow("help-all") << QStringList{"--help-all"} << 0 << "--list-ports";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Quillmark ";
        QTest::newRow("list") << QStringList{"--list-ports", "--port", "1=sim"} << 0 << "sim";
    }
    void answeredBeforeAnyWindow() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, told);
        QProcess program;
        startWithoutDisplay(program, arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), code);
        if (code == 0) {
            QVERIFY(QString(program.readAllStandardOutput()).contains(told));
            return;
        }
        const QString error = program.readAllStandardError();
        QVERIFY2(error.contains(told) && error.startsWith("quillmark: ") &&
                     error.endsWith("--help.\n") && error.count('\n') == 1,
                 qPrintable(error));
    }

    // The port is left as closing the window leaves it: unlocked, not exclusive, and with the
    // termios it had before.
    void aSignalClosesThePortAsClosingTheWindowDoes_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void aSignalClosesThePortAsClosingTheWindowDoes() {
        QFETCH(int, signal);
        PtyPair pty;
        QVERIFY(pty.ok());
        // Termios calls on the master reach the slave's settings.
        const auto termiosNow = [&pty] {
            termios now{};
            ::tcgetattr(pty.masterFd(), &now);
            return QByteArray(reinterpret_cast<const char*>(&now), sizeof now);
        };
        const QByteArray before = termiosNow();
        QTemporaryDir locks;
        const QString lock = locks.filePath("LCK.." + pty.slavePath().mid(5).replace('/', '_'));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUILLMARK_LOCK_DIR", locks.path());
        program.setProcessEnvironment(environment);
        program.start(programPath(), {"-platform", "offscreen", "--port", "1=" + pty.slavePath()});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock) && termiosNow() != before, 20000);

        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 128 + signal);
        QVERIFY(!QFile::exists(lock));
        QVERIFY(termiosNow() == before);
        // Refused with EBUSY while exclusive, to all but root.
        const int fd = ::open(pty.slavePath().toLocal8Bit(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        int exclusive = -1;
        QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        ::close(fd);
        QCOMPARE(exclusive, 0);
    }

    void listingPortsOpensNothingAndShowsTheMap() {
        QProcess program;
        program.start(programPath(), {"--list-ports", "--port", "4=sim"});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
        const QString out = program.readAllStandardOutput();
        QVERIFY2(out.startsWith("Port  Device"), qPrintable(out));
        QVERIFY2(QRegularExpression("\n4     sim +simulated loopback plug\n").match(out).hasMatch(),
                 qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(ProgramScreenshotTest)
#include "test_program_screenshot.moc"
