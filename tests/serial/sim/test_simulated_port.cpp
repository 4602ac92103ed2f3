#include <QElapsedTimer>
#include <QTest>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "comm_event.h"
#include "device_sinks.h"
#include "simulated_port.h"
#include "thrown_error.h"

namespace {

using namespace std::chrono_literals;
using Op = SimulatedPort::Operation;
using Line = SimulatedPort::InputLine;

using Codes = std::vector<short>;

// A code of no event of this control's own: passed on as it is.
constexpr short kForeignCode = 8;

OpenRequest requestAt(const QString& settings, bool dtr = false, bool rts = false) {
    return {*LineSettings::parse(settings), dtr, rts};
}

}  // namespace

class TestSimulatedPort : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<ManualClock> clock_;
    std::shared_ptr<SimulatedPort> port_;
    RecordingSink sink_;

    std::unique_ptr<SerialDevice> openPort(const QString& settings = "9600,n,8,1") {
        return port_->open(requestAt(settings), sink_);
    }

private slots:
    void init() {
        clock_ = std::make_shared<ManualClock>();
        port_ = std::make_shared<SimulatedPort>(clock_);
        sink_.takeCodes();
    }

    void echoArrivesCharacterByCharacterAtWireSpeed_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<double>("characterNs");
        QTest::newRow("9600 8N1: 10 bits") << "9600,n,8,1" << 1e10 / 9600;
        QTest::newRow("1200 7E2: 11 bits") << "1200,e,7,2" << 1.1e10 / 1200;
        QTest::newRow("115200 5N1.5: 7.5 bits") << "115200,n,5,1.5" << 7.5e9 / 115200;
    }
    void echoArrivesCharacterByCharacterAtWireSpeed() {
        QFETCH(QString, settings);
        QFETCH(double, characterNs);
        auto device = openPort(settings);
        device->write("Loopback");
        qint64 elapsed = 0;
        const auto advanceTo = [&](qint64 ns) {
            clock_->advanceNs(ns - elapsed);
            elapsed = ns;
        };

        const qint64 firstArrives = std::llround(characterNs);
        advanceTo(firstArrives - 1);
        QCOMPARE(device->takeInput(), QByteArray());
        advanceTo(firstArrives);
        QCOMPARE(device->takeInput(), QByteArray("L"));
        advanceTo(std::llround(4.5 * characterNs));
        QCOMPARE(device->takeInput(), QByteArray("oop"));
        const qint64 allArrive = std::llround(8 * characterNs);
        advanceTo(allArrive - 1);
        QCOMPARE(device->takeInput(), QByteArray("bac"));
        advanceTo(allArrive);
        QCOMPARE(device->takeInput(), QByteArray("k"));
        QVERIFY(sink_.takeCodes().empty());
    }

    void writesQueueBehindEachOther() {
        auto device = openPort();
        device->write("ab");
        device->write("cd");
        clock_->advanceNs(3 * 1'041'667);
        QCOMPARE(device->takeInput(), QByteArray("abc"));
        clock_->advanceMs(10);
        QCOMPARE(device->takeInput(), QByteArray("d"));
    }

    void plugFollowsOutputsAtOpenWithoutEvents() {
        auto device = port_->open(requestAt("9600,n,8,1", true, false), sink_);
        const ModemInputs in = device->inputs();
        QVERIFY(in.dsr && in.cd && !in.cts && !in.ring);
        QVERIFY(sink_.takeCodes().empty());
    }

    void plugTurnsOutputChangesIntoEvents() {
        auto device = openPort();
        device->setRts(true);
        QCOMPARE(sink_.takeCodes(), Codes{CommEvents::CtsChanged});
        QVERIFY(device->inputs().cts);
        device->setRts(true);  // no change, no edge
        QVERIFY(sink_.takeCodes().empty());

        device->setDtr(true);  // DSR rises silently, CD changes
        QCOMPARE(sink_.takeCodes(), Codes{CommEvents::CdChanged});
        device->setDtr(false);
        QCOMPARE(sink_.takeCodes(), (Codes{CommEvents::DsrFell, CommEvents::CdChanged}));
        QVERIFY(!device->inputs().dsr && !device->inputs().cd);
        QVERIFY(!port_->dtr() && port_->rts());
    }

    void rigDrivenInputsRaiseTheirEvents() {
        auto device = openPort();
        port_->driveInput(Line::Cts, true);
        port_->driveInput(Line::Cts, false);
        port_->driveInput(Line::Dsr, true);
        port_->driveInput(Line::Dsr, false);
        port_->driveInput(Line::Cd, true);
        port_->driveInput(Line::Ring, true);
        QVERIFY(device->inputs().ring);
        port_->driveInput(Line::Ring, false);
        port_->pulseRing();
        QCOMPARE(sink_.takeCodes(),
                 (Codes{CommEvents::CtsChanged, CommEvents::CtsChanged, CommEvents::DsrFell,
                        CommEvents::CdChanged, CommEvents::Ring, CommEvents::Ring}));
    }

    void injectedEventsPassAsTheyAre() {
        QVERIFY(!port_->injectEvent(CommEvents::Break));  // nobody listens while closed
        auto device = openPort();
        const Codes injected{CommEvents::Break,   CommEvents::Framing, CommEvents::Parity,
                             CommEvents::Overrun, CommEvents::Ring,    kForeignCode};
        for (short code : injected)
            QVERIFY(port_->injectEvent(code));
        QCOMPARE(sink_.takeCodes(), injected);
    }

    void withoutPlugNothingComesBack() {
        port_->setWiring(SimulatedPort::Wiring::NoPlug);
        auto device = port_->open(requestAt("9600,n,8,1", true, true), sink_);
        device->write("Loopback");
        device->setDtr(false);
        device->setRts(false);
        clock_->advanceMs(100);
        QCOMPARE(device->takeInput(), QByteArray());
        const ModemInputs in = device->inputs();
        QVERIFY(!in.dsr && !in.cts && !in.cd);
        QVERIFY(sink_.takeCodes().empty());
        QCOMPARE(port_->transmitted(), QByteArray("Loopback"));
    }

    void lateVariantEchoesAfterTheWiringCheckWait() {
        auto port = SimulatedPort::fromVariant("late");  // on the steady clock
        auto device = port->open(requestAt("9600,n,8,1"), sink_);
        QElapsedTimer sinceWrite;
        sinceWrite.start();
        device->write("Loopback");
        QByteArray echo;
        QTRY_COMPARE_WITH_TIMEOUT(echo += device->takeInput(), QByteArray("Loopback"), 2000);
        QVERIFY(sinceWrite.elapsed() >= 150);
    }

    void receiveOverflowReportsOncePerEpisode() {
        auto device = openPort();
        port_->receive(QByteArray(1500, 'a'));
        clock_->advanceMs(2000);
        device->inputs();  // any call lets the arrived bytes in
        QCOMPARE(sink_.takeCodes(), Codes{CommEvents::ReceiveOverflow});
        port_->receive(QByteArray(10, 'b'));
        clock_->advanceMs(100);
        QCOMPARE(device->takeInput(), QByteArray(kReceiveBufferSize, 'a'));
        QVERIFY(sink_.takeCodes().empty());

        port_->receive(QByteArray(kReceiveBufferSize + 1, 'c'));
        clock_->advanceMs(2000);
        QCOMPARE(device->takeInput().size(), kReceiveBufferSize);
        QCOMPARE(sink_.takeCodes(), Codes{CommEvents::ReceiveOverflow});
    }

    void writePastTransmitBufferDropsAndReports() {
        port_->setWiring(SimulatedPort::Wiring::NoPlug);
        auto device = openPort();
        device->write(QByteArray(kTransmitBufferSize - 2, 'a'));
        device->write("bcde");
        QCOMPARE(sink_.takeCodes(), Codes{CommEvents::TransmitFull});
        QCOMPARE(port_->transmitted(), QByteArray(kTransmitBufferSize - 2, 'a') + "bc");
        clock_->advanceMs(1000);  // drained
        device->write("f");
        QVERIFY(sink_.takeCodes().empty());
    }

    void openIsRefusedWhileAbsentHeldOrInUse() {
        port_->setAbsent(true);
        QCOMPARE(errorOf([&] { openPort(); }).number(), CommErrors::InvalidPortNumber);
        port_->setAbsent(false);
        port_->setHeld(true);
        QCOMPARE(errorOf([&] { openPort(); }).number(), CommErrors::PortAlreadyOpen);
        port_->setHeld(false);

        auto device = openPort();
        QVERIFY(port_->isOpen());
        QCOMPARE(errorOf([&] { openPort(); }).number(), CommErrors::PortAlreadyOpen);
        device.reset();
        QVERIFY(!port_->isOpen());
        QVERIFY(openPort() != nullptr);
        QCOMPARE(port_->openCount(), 2);
    }

    void injectedFailures_data() {
        QTest::addColumn<Op>("operation");
        QTest::newRow("configure") << Op::Configure;
        QTest::newRow("setDtr") << Op::SetDtr;
        QTest::newRow("setRts") << Op::SetRts;
        QTest::newRow("inputs") << Op::Inputs;
        QTest::newRow("write") << Op::Write;
        QTest::newRow("takeInput") << Op::TakeInput;
    }
    void injectedFailures() {
        QFETCH(Op, operation);
        auto device = openPort();
        const auto call = [&] {
            switch (operation) {
                case Op::Configure:
                    device->configure(LineSettings{});
                    break;
                case Op::SetDtr:
                    device->setDtr(true);
                    break;
                case Op::SetRts:
                    device->setRts(true);
                    break;
                case Op::Inputs:
                    device->inputs();
                    break;
                case Op::Write:
                    device->write("x");
                    break;
                case Op::TakeInput:
                case Op::Open:
                    device->takeInput();
                    break;
            }
        };
        port_->failOperation(operation, CommErrors::LineControlFailed, "Line control failed.");
        try {
            call();
            QFAIL("the injected failure did not happen");
        } catch (const CommError& e) {
            QCOMPARE(e.number(), CommErrors::LineControlFailed);
            QCOMPARE(e.description(), QString("Line control failed."));
        }
        QCOMPARE(errorOf(call).number(), 0);  // once only

        port_->failOperation(operation, CommErrors::ReadFailed, "Gone.",
                             SimulatedPort::Repeat::Persistent);
        QCOMPARE(errorOf(call).number(), CommErrors::ReadFailed);
        QCOMPARE(errorOf(call).number(), CommErrors::ReadFailed);
        port_->clearFailures();
        QCOMPARE(errorOf(call).number(), 0);
    }

    void injectedOpenFailureComesFirst() {
        port_->failOperation(Op::Open, CommErrors::OpenFailed, "Cannot open.");
        port_->setAbsent(true);
        QCOMPARE(errorOf([&] { openPort(); }).number(), CommErrors::OpenFailed);
        QCOMPARE(errorOf([&] { openPort(); }).number(), CommErrors::InvalidPortNumber);
        QVERIFY(!port_->isOpen());
    }

    void vanishingDeviceReportsOnceAndFailsAfterwards() {
        auto device = openPort();
        port_->vanish();
        port_->vanish();
        QCOMPARE(sink_.lost(), std::vector<int>{CommErrors::DeviceLost});
        QVERIFY(!sink_.lostText().isEmpty());
        QVERIFY(!port_->isOpen());
        QCOMPARE(errorOf([&] { device->inputs(); }).number(), CommErrors::DeviceLost);
        QCOMPARE(errorOf([&] { device->write("x"); }).number(), CommErrors::DeviceLost);
        QVERIFY(!port_->injectEvent(CommEvents::Ring));

        RecordingSink second;
        QCOMPARE(errorOf([&] { port_->open(requestAt("9600,n,8,1"), second); }).number(),
                 CommErrors::InvalidPortNumber);
        port_->restore();
        auto again = port_->open(requestAt("9600,n,8,1"), second);  // old device still alive
        device.reset();                                             // must not release the new one
        QVERIFY(port_->isOpen());
        QVERIFY(port_->injectEvent(CommEvents::Ring));
        QCOMPARE(second.takeCodes(), Codes{CommEvents::Ring});
    }

    void noiseStopsWhenDeviceCloses() {
        port_->setNoise(5ms);
        auto device = openPort();
        std::vector<short> seen;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (short c : sink_.takeCodes())
                    seen.push_back(c);
                return seen.size() >= 4;
            }(),
            2000);
        QCOMPARE(Codes(seen.begin(), seen.begin() + 4),
                 (Codes{CommEvents::Ring, CommEvents::Break, CommEvents::CtsChanged,
                        CommEvents::CtsChanged}));
        device.reset();
        sink_.takeCodes();
        QTest::qWait(20);
        QVERIFY(sink_.takeCodes().empty());
    }

    void rigCallsFromAnotherThreadAllArrive() {
        auto device = openPort();
        constexpr int kEdges = 10'000;
        std::thread rig([this] {
            for (int i = 0; i < kEdges; ++i)
                port_->driveInput(Line::Cts, i % 2 == 0);
        });
        for (int i = 0; i < 1000; ++i)
            device->setDtr(i % 2 == 0);  // UI thread meanwhile
        rig.join();
        int cts = 0;
        for (short c : sink_.takeCodes())
            cts += c == CommEvents::CtsChanged;
        QCOMPARE(cts, kEdges);
    }

    void variants_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("openError");
        QTest::addColumn<QByteArray>("echo");
        QTest::newRow("loopback") << "" << 0 << QByteArray("Loopback");
        QTest::newRow("noplug") << "noplug" << 0 << QByteArray();
        QTest::newRow("partial") << "partial" << 0 << QByteArray("Loop");
        QTest::newRow("held") << "held" << CommErrors::PortAlreadyOpen << QByteArray();
        QTest::newRow("absent") << "absent" << CommErrors::InvalidPortNumber << QByteArray();
        QTest::newRow("noisy") << "Noisy" << 0 << QByteArray("Loopback");
    }
    void variants() {
        QFETCH(QString, variant);
        QFETCH(int, openError);
        QFETCH(QByteArray, echo);
        auto port = SimulatedPort::fromVariant(variant);
        QVERIFY(port);
        std::unique_ptr<SerialDevice> device;
        QCOMPARE(errorOf([&] { device = port->open(requestAt("9600,n,8,1"), sink_); }).number(),
                 openError);
        if (!device)
            return;
        device->write("Loopback");
        QTest::qWait(20);  // the whole echo takes 8.3 ms
        QByteArray received;
        QTRY_COMPARE_WITH_TIMEOUT(received += device->takeInput(), echo, 1000);
        QTest::qWait(10);
        QCOMPARE(received + device->takeInput(), echo);
    }

    void variantNamesAreAllKnown() {
        const QStringList names = SimulatedPort::variantNames();
        QCOMPARE(names.size(), 6);
        for (const QString& name : names)
            QVERIFY2(SimulatedPort::fromVariant(name), qPrintable(name));
        QVERIFY(!SimulatedPort::fromVariant("bogus"));
    }
};

QTEST_GUILESS_MAIN(TestSimulatedPort)
#include "test_simulated_port.moc"
