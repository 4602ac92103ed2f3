#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "comm_event.h"
#include "device_sinks.h"
#include "pty_pair.h"
#include "system_device.h"
#include "system_serial_device.h"
#include "system_tty.h"

extern char** environ;

using namespace std::chrono_literals;

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

QByteArray takeInputUntil(SerialDevice& device, qsizetype wanted,
                          std::chrono::milliseconds limit = 2s) {
    QByteArray got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < wanted && std::chrono::steady_clock::now() < deadline) {
        got += device.takeInput();
        std::this_thread::sleep_for(2ms);
    }
    return got;
}

int openError(const QString& path) {
    RecordingSink sink;
    try {
        openSystemDevice(path, {}, sink);
    } catch (const CommError& e) {
        if (!e.description().contains(path))
            return -e.number();  // must name the device
        return e.number();
    }
    return 0;
}

double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

OpenRequest requestFor(const char* settings) {
    OpenRequest request;
    request.settings = *LineSettings::parse(QString::fromLatin1(settings));
    return request;
}

}  // namespace

class TestSystemDevice : public QObject {
    Q_OBJECT

private slots:
    void appliesRawModeAndSettings() {
        PtyPair pty;
        QVERIFY(pty.ok());
        // Opened first, so that the device's exclusive hold does not shut the test out.
        const int probe = ::open(pty.slavePath().toLocal8Bit(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(probe >= 0);
        RecordingSink sink;
        auto device = openSystemDevice(pty.slavePath(), requestFor("19200,m,8,2"), sink);

        termios t{};
        QCOMPARE(tcgetattr(probe, &t), 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B19200));
        QCOMPARE(cfgetispeed(&t), speed_t(B19200));
        QCOMPARE(t.c_iflag & (INPCK | PARMRK), tcflag_t(INPCK | PARMRK));
        QCOMPARE(t.c_iflag & (IGNPAR | IGNBRK | BRKINT | ISTRIP | IXON | IXOFF | ICRNL), 0u);
        QCOMPARE(t.c_oflag & OPOST, 0u);
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        QCOMPARE(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(t.c_cflag & CRTSCTS, 0u);
        // A pseudo-terminal forces 8 bits without parity but keeps the other format bits.
        QCOMPARE(t.c_cflag & (CMSPAR | PARODD | CSTOPB), tcflag_t(CMSPAR | PARODD | CSTOPB));
        QCOMPARE(int(t.c_cc[VMIN]), 0);
        QCOMPARE(int(t.c_cc[VTIME]), 0);

        device->configure(*LineSettings::parse("115200,n,8,1"));
        QCOMPARE(tcgetattr(probe, &t), 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));
        QCOMPARE(t.c_cflag & (CMSPAR | PARODD | CSTOPB), 0u);
        ::close(probe);
    }

    void characterFormats_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<uint>("format");

        QTest::newRow("8n1") << "9600,n,8,1" << uint(CS8);
        QTest::newRow("7e1") << "9600,e,7,1" << uint(CS7 | PARENB);
        QTest::newRow("7o2") << "9600,o,7,2" << uint(CS7 | PARENB | PARODD | CSTOPB);
        QTest::newRow("8m1") << "9600,m,8,1" << uint(CS8 | PARENB | CMSPAR | PARODD);
        QTest::newRow("8s1") << "9600,s,8,1" << uint(CS8 | PARENB | CMSPAR);
        QTest::newRow("6n1") << "9600,n,6,1" << uint(CS6);
        QTest::newRow("5n1.5") << "9600,n,5,1.5" << uint(CS5 | CSTOPB);
    }

    // Pseudo-terminals drop parity and size, so the mapping is checked on the termios itself.
    void characterFormats() {
        QFETCH(QString, settings);
        QFETCH(uint, format);
        termios t{};
        t.c_cflag = CRTSCTS | PARENB | PARODD | CMSPAR | CSTOPB | CS8;  // all to be replaced
        t.c_iflag = IGNPAR | ISTRIP | IXON;
        makeRawTermios(t, *LineSettings::parse(settings));
        const tcflag_t formatBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
        QCOMPARE(uint(t.c_cflag & formatBits), format);
        QCOMPARE(uint(t.c_iflag), uint(INPCK | PARMRK));
    }

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

    void loopbackThroughMaster() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        auto device = openSystemDevice(pty.slavePath(), {}, sink);

        device->write("Loopback");
        const QByteArray sent = pty.receive(8);
        QCOMPARE(sent, QByteArray("Loopback"));
        QCOMPARE(pty.send(sent), 8);
        QCOMPARE(takeInputUntil(*device, 8), QByteArray("Loopback"));
        QCOMPARE(sink.eventTotal(), 0);
    }

    void byteFFArrivesWhole() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        auto device = openSystemDevice(pty.slavePath(), {}, sink);

        pty.send(
            QByteArray("a\xFF\xFF"
                       "b\xFF"));
        QCOMPARE(takeInputUntil(*device, 5), QByteArray("a\xFF\xFF"
                                                        "b\xFF"));
        QCOMPARE(sink.eventTotal(), 0);
    }

    void receiveOverflowKeepsFirstKilobyteAndReportsOnce() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        auto device = openSystemDevice(pty.slavePath(), {}, sink);

        QByteArray flood(2000, '\0');
        for (int i = 0; i < flood.size(); ++i)
            flood[i] = char('A' + i % 26);
        QCOMPARE(pty.send(flood), 2000);
        QVERIFY(sink.waitForEvent(CommEvents::ReceiveOverflow));
        std::this_thread::sleep_for(50ms);  // let the rest of the flood be read and dropped

        QCOMPARE(device->takeInput(), flood.first(kReceiveBufferSize));
        QCOMPARE(sink.count(CommEvents::ReceiveOverflow), 1);
    }

    void transmitBufferHoldsWhatTheLineCannotTake() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        auto device = openSystemDevice(pty.slavePath(), {}, sink);

        // Far more than the pseudo-terminal holds while nobody reads the master.
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char('a' + (i * 7 + i / 251) % 25);
        device->write(block);
        QCOMPARE(sink.count(CommEvents::TransmitFull), 1);
        // The kernel frees room behind the scenes as it moves bytes to the master's side,
        // but never a megabyte.
        device->write(QByteArray(1 << 20, 'z'));
        QCOMPARE(sink.count(CommEvents::TransmitFull), 2);

        // Reading the master makes room; the worker then sends the buffered bytes, which
        // continue the block without a gap, then what the second write could place.
        const QByteArray received = pty.receive(2 * block.size(), 300ms);
        const qsizetype fromBlock =
            received.indexOf('z') < 0 ? received.size() : received.indexOf('z');
        QVERIFY(fromBlock > kTransmitBufferSize);
        QVERIFY(fromBlock < block.size());
        QCOMPARE(received.first(fromBlock), block.first(fromBlock));
        QVERIFY(received.size() < 2 * block.size());
        QCOMPARE(received.mid(fromBlock), QByteArray(received.size() - fromBlock, 'z'));

        device->write("tail");
        QCOMPARE(pty.receive(4), QByteArray("tail"));
    }

    void hangUpReportedOnceWithoutSpinning() {
        RecordingSink sink;
        QString path;
        {
            PtyPair pty;
            QVERIFY(pty.ok());
            path = pty.slavePath();
            auto device = openSystemDevice(path, {}, sink);
            auto* systemDevice = dynamic_cast<SystemSerialDevice*>(device.get());
            QVERIFY(systemDevice);

            pty.closeMaster();
            QVERIFY(sink.waitForLoss());
            const quint64 wakeupsAfterLoss = systemDevice->wakeups();
            const double cpuBefore = processCpuMs();
            std::this_thread::sleep_for(300ms);
            const double cpuUsed = processCpuMs() - cpuBefore;
            QVERIFY2(cpuUsed < 30, qPrintable(QString("used %1 ms of CPU").arg(cpuUsed)));
            QVERIFY(systemDevice->wakeups() - wakeupsAfterLoss <= 2);

            const auto losses = sink.losses();
            QCOMPARE(losses.size(), 1u);
            QCOMPARE(losses[0].number(), CommErrors::DeviceLost);
            QVERIFY(losses[0].description().startsWith(path + " stopped answering"));

            // Calls that race with the loss must not pile up more reports.
            device->write("late");
            device->setDtr(true);
            const ModemInputs inputs = device->inputs();
            QVERIFY(!inputs.dsr && !inputs.cts && !inputs.cd && !inputs.ring);
            QCOMPARE(sink.losses().size(), 1u);

            QElapsedTimer closing;
            closing.start();
            device.reset();
            QVERIFY(closing.elapsed() < 200);
        }

        PtyPair again;
        QVERIFY(again.ok());
        RecordingSink freshSink;
        auto device = openSystemDevice(again.slavePath(), {}, freshSink);
        device->write("OK");
        QCOMPARE(again.receive(2), QByteArray("OK"));
        QVERIFY(freshSink.losses().empty());
    }

    // A pseudo-terminal has no modem lines: nothing to poll, so an idle port never wakes.
    void lineControlWithoutModemLines() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        OpenRequest request;
        request.dtr = true;
        auto device = openSystemDevice(pty.slavePath(), request, sink);
        device->setRts(true);
        device->setDtr(false);
        const ModemInputs inputs = device->inputs();
        QVERIFY(!inputs.dsr && !inputs.cts && !inputs.cd && !inputs.ring);

        auto& systemDevice = dynamic_cast<SystemSerialDevice&>(*device);
        const quint64 before = systemDevice.wakeups();
        std::this_thread::sleep_for(100ms);
        QVERIFY(systemDevice.wakeups() - before <= 1);
        QCOMPARE(sink.eventTotal(), 0);
    }

    void openFailures() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(openError(dir.filePath("ttyNothing")), CommErrors::InvalidPortNumber);
        QCOMPARE(openError(dir.path()), CommErrors::InvalidPortNumber);

        QFile plain(dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QCOMPARE(openError(plain.fileName()), CommErrors::InvalidPortNumber);
        // A device that is no tty, twice: the failed first attempt must not keep it held.
        QCOMPARE(openError("/dev/null"), CommErrors::InvalidPortNumber);
        QCOMPARE(openError("/dev/null"), CommErrors::InvalidPortNumber);
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
