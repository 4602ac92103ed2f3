#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <thread>

#include "comm_event.h"
#include "device_sinks.h"
#include "pty_pair.h"
#include "system_device.h"
#include "system_serial_device.h"

using namespace std::chrono_literals;

namespace {

// Opens with a lock folder of the test's own, never the machine's.
std::unique_ptr<SerialDevice> openDevice(const QString& path, const OpenRequest& request,
                                         DeviceEventSink& sink) {
    static const QTemporaryDir locks;
    SystemFolders folders;
    folders.lock = locks.path();
    return openSystemDevice(path, request, sink, folders);
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

double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

class TestSystemSerialDevice : public QObject {
    Q_OBJECT

private slots:
    void loopbackThroughMaster() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        auto device = openDevice(pty.slavePath(), {}, sink);

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
        auto device = openDevice(pty.slavePath(), {}, sink);

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
        auto device = openDevice(pty.slavePath(), {}, sink);

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
        auto device = openDevice(pty.slavePath(), {}, sink);

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
            auto device = openDevice(path, {}, sink);
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
            // A pseudo-terminal made a moment ago is no adapter just plugged in.
            QVERIFY(!losses[0].description().contains("within a second"));

            // Calls that race with the loss must not pile up more reports.
            device->write("late");
            device->setDtr(true);
            const ModemInputs inputs = device->inputs();
            QVERIFY(!inputs.dsr && !inputs.cts && !inputs.cd && !inputs.ring);
            QCOMPARE(sink.losses().size(), 1u);

            QElapsedTimer closing;
            closing.start();
            device.reset();
            qInfo("closing after the loss took %lld ms", closing.elapsed());
        }

        PtyPair again;
        QVERIFY(again.ok());
        RecordingSink freshSink;
        auto device = openDevice(again.slavePath(), {}, freshSink);
        device->write("OK");
        QCOMPARE(again.receive(2), QByteArray("OK"));
        QVERIFY(freshSink.losses().empty());
    }

    // Another program reading the same tty without locks often takes the input first, so
    // woken for input the device reads nothing: that is no loss, and a hang-up still is.
    void aSecondReaderIsNoLoss() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        auto device = openDevice(pty.slavePath(), {}, sink);
        const int other = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY);
        if (other < 0 && errno == EBUSY)
            QSKIP("sharing an exclusive tty needs CAP_SYS_ADMIN");
        QVERIFY(other >= 0);
        // As a terminal program sets it: a read waits for a byte, for a tenth of a second.
        termios waiting{};
        ::tcgetattr(other, &waiting);
        waiting.c_cc[VMIN] = 0;
        waiting.c_cc[VTIME] = 1;
        ::tcsetattr(other, TCSANOW, &waiting);
        std::atomic<bool> reading{true};
        std::thread reader([&] {
            char bytes[64];
            while (reading)
                [[maybe_unused]] const ssize_t n = ::read(other, bytes, sizeof bytes);
        });
        for (int i = 0; i < 1000 && sink.losses().empty(); ++i) {
            pty.send("Loopback");
            std::this_thread::sleep_for(200us);
        }
        reading = false;
        reader.join();
        ::close(other);
        QVERIFY2(sink.losses().empty(), qPrintable(sink.lostText()));
        pty.closeMaster();
        QVERIFY(sink.waitForLoss());
    }

    // A pseudo-terminal has no modem lines: nothing to poll, so an idle port never wakes.
    void lineControlWithoutModemLines() {
        PtyPair pty;
        QVERIFY(pty.ok());
        RecordingSink sink;
        OpenRequest request;
        request.dtr = true;
        auto device = openDevice(pty.slavePath(), request, sink);
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
};

QTEST_GUILESS_MAIN(TestSystemSerialDevice)
#include "test_system_serial_device.moc"
