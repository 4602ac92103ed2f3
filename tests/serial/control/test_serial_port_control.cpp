#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <thread>
#include <vector>

#include "comm_event.h"
#include "port_map.h"
#include "serial_port_control.h"
#include "simulated_port.h"
#include "thrown_error.h"

namespace {

using Codes = std::vector<short>;
using Line = SimulatedPort::InputLine;
using ControlCall = std::function<void(SerialPortControl&)>;

constexpr short kLoopbackPort = 1;
constexpr short kHeldPort = 2;
constexpr short kAbsentPort = 3;
// A code of no event of this control's own: passed on as it is.
constexpr short kForeignCode = 8;

void pumpEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

}  // namespace

class TestSerialPortControl : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<ManualClock> clock_;
    std::shared_ptr<SimulatedPort> sim_;
    std::shared_ptr<MappedDeviceOpener> opener_;
    std::unique_ptr<SerialPortControl> control_;
    Codes seen_;  // CommEvent as each OnComm handler read it

    std::unique_ptr<SerialPortControl> makeControl(
        std::size_t capacity = SerialPortControl::kEventQueueCapacity) {
        return std::make_unique<SerialPortControl>(opener_, nullptr, capacity);
    }

    void useControl(std::unique_ptr<SerialPortControl> control) {
        control_ = std::move(control);
        SerialPortControl* c = control_.get();
        connect(c, &SerialPortControl::OnComm, this,
                [this, c] { seen_.push_back(c->CommEvent()); });
    }

    void openLoopback() {
        control_->setCommPort(kLoopbackPort);
        control_->setPortOpen(true);
    }

private slots:
    void init() {
        clock_ = std::make_shared<ManualClock>();
        sim_ = std::make_shared<SimulatedPort>(clock_);
        PortMap map;
        map.map(kLoopbackPort, sim_);
        map.map(kHeldPort, SimulatedPort::fromVariant("held"));
        map.map(kAbsentPort, SimulatedPort::fromVariant("absent"));
        opener_ = std::make_shared<MappedDeviceOpener>(map);
        seen_.clear();
        useControl(makeControl());
    }

    void cleanup() { control_.reset(); }

    void everyEventReachesItsHandlerInOrder() {
        control_->setDTREnable(false);  // both lines off at open, so that each change shows
        openLoopback();
        control_->setRTSEnable(true);   // CTS follows
        control_->setDTREnable(true);   // DSR rises silently, CD follows
        control_->setDTREnable(false);  // DSR falls, then CD
        sim_->pulseRing();
        for (short code : {CommEvents::Break, CommEvents::Framing, CommEvents::Overrun,
                           CommEvents::Parity, kForeignCode})
            sim_->injectEvent(code);
        control_->setOutput(QString(kTransmitBufferSize + 1, 'x'));  // one too many
        sim_->receive(QByteArray(kReceiveBufferSize, 'y'));
        clock_->advanceMs(2000);
        QCOMPARE(control_->Input().size(), kReceiveBufferSize);
        QVERIFY(seen_.empty());  // nothing before the event loop runs

        const Codes expected{
            CommEvents::CtsChanged, CommEvents::CdChanged,    CommEvents::DsrFell,
            CommEvents::CdChanged,  CommEvents::Ring,         CommEvents::Break,
            CommEvents::Framing,    CommEvents::Overrun,      CommEvents::Parity,
            kForeignCode,           CommEvents::TransmitFull, CommEvents::ReceiveOverflow};
        QTRY_COMPARE(seen_, expected);
        QCOMPARE(control_->CommEvent(), CommEvents::ReceiveOverflow);
        QCOMPARE(control_->LostEvents(), 0u);
    }

    void dsrRiseRaisesNothing() {
        openLoopback();
        sim_->driveInput(Line::Dsr, true);
        pumpEvents();
        QVERIFY(seen_.empty());
        QVERIFY(control_->DSRHolding());
        sim_->driveInput(Line::Dsr, false);
        QTRY_COMPARE(seen_, Codes{CommEvents::DsrFell});
    }

    void burstFromAnotherThreadArrivesWholeWhileUiIsBlocked() {
        control_->setDTREnable(false);  // CD starts low, as the rig's first edge assumes
        openLoopback();
        constexpr int kEdges = 10'000;
        Codes expected;
        std::thread rig([this] {
            bool cts = false;
            bool cd = false;
            for (int i = 0; i < kEdges; ++i) {
                if (i % 3 == 2)
                    sim_->driveInput(Line::Cd, cd = !cd);
                else
                    sim_->driveInput(Line::Cts, cts = !cts);
            }
        });
        for (int i = 0; i < kEdges; ++i)
            expected.push_back(i % 3 == 2 ? CommEvents::CdChanged : CommEvents::CtsChanged);
        rig.join();  // the user-interface thread delivers nothing meanwhile
        const auto joined = std::chrono::steady_clock::now();
        QVERIFY(seen_.empty());
        QCOMPARE(control_->PendingEvents(), std::size_t(kEdges));

        QTRY_COMPARE(seen_.size(), std::size_t(kEdges));
        QCOMPARE(seen_, expected);
        QCOMPARE(control_->LostEvents(), 0u);
        // Each keeps the time the device saw it, not the time it was delivered.
        QCOMPARE(control_->History().size(), std::size_t(kEdges) + 1);  // and the opening
        QVERIFY(control_->History().at(kEdges - 1).stamp.steady <= joined);
        QVERIFY(control_->CommEventStamp().steady <= joined);
    }

    void closingDropsUndeliveredEventsAndFreesPort() {
        openLoopback();
        control_->setRTSEnable(true);
        control_->setPortOpen(false);
        pumpEvents();
        QVERIFY(seen_.empty());
        QVERIFY(!sim_->isOpen());
        QVERIFY(!control_->PortOpen());
    }

    void outputsAndSettingsChosenWhileClosedApplyAtOpen() {
        control_->setSettings("1200,e,7,1");
        QVERIFY(control_->DTREnable());  // on before the first opening, as the kernel opens
        openLoopback();
        QCOMPARE(sim_->lineSettings().toText(), QString("1200,e,7,1"));
        QVERIFY(sim_->dtr() && !sim_->rts());
        QVERIFY(control_->DSRHolding() && control_->CDHolding() && !control_->CTSHolding());
        pumpEvents();
        QVERIFY(seen_.empty());  // opening raises no line events
    }

    void openFailures() {
        control_->setCommPort(kAbsentPort);
        QCOMPARE(errorOf([&] { control_->setPortOpen(true); }).number(),
                 CommErrors::InvalidPortNumber);
        control_->setCommPort(kHeldPort);
        QCOMPARE(errorOf([&] { control_->setPortOpen(true); }).number(),
                 CommErrors::PortAlreadyOpen);
        QCOMPARE(errorOf([&] { control_->setCommPort(0); }).number(),
                 CommErrors::InvalidPortNumber);
        control_->setCommPort(PortNumbers::kLast + 1);
        QCOMPARE(errorOf([&] { control_->setPortOpen(true); }).number(),
                 CommErrors::InvalidPortNumber);
        QVERIFY(!control_->PortOpen());

        openLoopback();
        QCOMPARE(errorOf([&] { control_->setPortOpen(true); }).number(),
                 CommErrors::PortAlreadyOpen);
        auto other = makeControl();
        QCOMPARE(errorOf([&] { other->setPortOpen(true); }).number(), CommErrors::PortAlreadyOpen);
        control_->setPortOpen(false);
        other->setPortOpen(true);
        QVERIFY(other->PortOpen());
    }

    void invalidSettingsAreRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("three fields") << "9600,n,8";
        QTest::newRow("unknown parity") << "9600,x,8,1";
        QTest::newRow("empty") << "";
        QTest::newRow("non-standard speed") << "9601,n,8,1";
    }
    void invalidSettingsAreRefused() {
        QFETCH(QString, text);
        openLoopback();
        const CommError raised = errorOf([&] { control_->setSettings(text); });
        QCOMPARE(raised.number(), CommErrors::InvalidPropertyValue);
        QVERIFY(raised.description().contains(QStringLiteral("\"%1\"").arg(text)));
        QCOMPARE(control_->Settings(), QString("9600,n,8,1"));
    }

    void invalidInputModesAreRefused() {
        openLoopback();
        QCOMPARE(errorOf([&] { control_->setInputMode(2); }).number(),
                 CommErrors::InvalidPropertyValue);
        QCOMPARE(errorOf([&] { control_->setInputMode(-1); }).number(),
                 CommErrors::InvalidPropertyValue);
        QCOMPARE(control_->InputMode(), 0);
    }

    void closedPortRefusesDataAndLineReads_data() {
        QTest::addColumn<ControlCall>("call");
        QTest::newRow("Output") << ControlCall([](SerialPortControl& c) { c.setOutput("x"); });
        QTest::newRow("Input") << ControlCall([](SerialPortControl& c) { c.Input(); });
        QTest::newRow("DSRHolding") << ControlCall([](SerialPortControl& c) { c.DSRHolding(); });
        QTest::newRow("CTSHolding") << ControlCall([](SerialPortControl& c) { c.CTSHolding(); });
        QTest::newRow("CDHolding") << ControlCall([](SerialPortControl& c) { c.CDHolding(); });
    }
    void closedPortRefusesDataAndLineReads() {
        QFETCH(ControlCall, call);
        QCOMPARE(errorOf([&] { call(*control_); }).number(), CommErrors::PortNotOpen);
    }

    void portNumberIsLockedWhileOpen() {
        openLoopback();
        QCOMPARE(errorOf([&] { control_->setCommPort(kHeldPort); }).number(),
                 CommErrors::PortNumberLocked);
        QCOMPARE(control_->CommPort(), kLoopbackPort);
        control_->setPortOpen(false);
        control_->setCommPort(kHeldPort);
        QCOMPARE(control_->CommPort(), kHeldPort);
    }

    void injectedFailuresKeepTheirNumberAndDescription() {
        sim_->failOperation(SimulatedPort::Operation::Open, CommErrors::PermissionDenied,
                            "Permission denied.");
        const CommError openFailure = errorOf([&] {
            control_->setDTREnable(false);
            openLoopback();
        });
        QCOMPARE(openFailure.number(), CommErrors::PermissionDenied);
        QCOMPARE(openFailure.description(), QString("Permission denied."));
        QVERIFY(!control_->PortOpen());

        openLoopback();
        sim_->failOperation(SimulatedPort::Operation::Write, CommErrors::WriteFailed,
                            "Write failed: cable cut.");
        const CommError writeFailure = errorOf([&] { control_->setOutput("Loopback"); });
        QCOMPARE(writeFailure.number(), CommErrors::WriteFailed);
        QCOMPARE(writeFailure.description(), QString("Write failed: cable cut."));

        sim_->failOperation(SimulatedPort::Operation::Configure, CommErrors::SettingsRejected,
                            "Speed refused.");
        QCOMPARE(errorOf([&] { control_->setSettings("1200,n,8,1"); }).number(),
                 CommErrors::SettingsRejected);
        QCOMPARE(control_->Settings(), QString("9600,n,8,1"));

        sim_->failOperation(SimulatedPort::Operation::SetDtr, CommErrors::LineControlFailed,
                            "No DTR.");
        QCOMPARE(errorOf([&] { control_->setDTREnable(true); }).number(),
                 CommErrors::LineControlFailed);
        QVERIFY(!control_->DTREnable());
    }

    void fullQueueCountsAndReportsLoss() {
        useControl(makeControl(100));
        QSignalSpy lost(control_.get(), &SerialPortControl::eventsLost);
        openLoopback();
        for (int i = 0; i < 150; ++i)
            sim_->driveInput(Line::Cts, i % 2 == 0);
        QCOMPARE(control_->LostEvents(), 50u);
        QCOMPARE(control_->PendingEvents(), std::size_t(100));

        QTRY_COMPARE(seen_.size(), std::size_t(100));
        QTRY_COMPARE(lost.count(), 1);
        QCOMPARE(lost.at(0).at(0).value<quint64>(), 50u);

        sim_->driveInput(Line::Cts, true);  // room again; the loss is not reported twice
        QTRY_COMPARE(seen_.size(), std::size_t(101));
        pumpEvents();
        QCOMPARE(lost.count(), 1);
    }

    void vanishingDeviceClosesThePortOnce() {
        QSignalSpy lost(control_.get(), &SerialPortControl::deviceLost);
        openLoopback();
        control_->setRTSEnable(true);  // undelivered when the loss comes: dropped with the port
        sim_->vanish();
        QVERIFY(!control_->PortOpen());

        QTRY_COMPARE(lost.count(), 1);
        QCOMPARE(lost.at(0).at(0).toInt(), CommErrors::DeviceLost);
        QVERIFY(!lost.at(0).at(1).toString().isEmpty());
        QVERIFY(seen_.empty());
        pumpEvents();
        QCOMPARE(lost.count(), 1);
        QCOMPARE(errorOf([&] { control_->Input(); }).number(), CommErrors::PortNotOpen);

        QCOMPARE(errorOf([&] { control_->setPortOpen(true); }).number(),
                 CommErrors::InvalidPortNumber);
        sim_->restore();
        control_->setPortOpen(true);
        QVERIFY(control_->PortOpen());
        sim_->pulseRing();
        QTRY_COMPARE(seen_, Codes{CommEvents::Ring});
    }

    void loopbackEchoTakesTheWireTime() {
        openLoopback();
        control_->setOutput("Loopback");  // 8 characters of 10 bits at 9600 baud
        clock_->advanceNs(1'041'666);     // not even the first character is through
        QCOMPARE(control_->Input(), QString());
        clock_->advanceNs(8'333'333 - 1'041'666);
        QCOMPARE(control_->Input(), QString("Loopback"));
        QCOMPARE(control_->Input(), QString());
    }

    void lateEchoMissesTheWiringWaitAndStaysBuffered() {
        sim_->setEchoDelay(std::chrono::milliseconds(150));
        openLoopback();
        control_->setOutput("Loopback");
        clock_->advanceMs(100);
        QCOMPARE(control_->Input(), QString());
        clock_->advanceMs(900);
        control_->setOutput("Loopback");
        clock_->advanceMs(100);
        QCOMPARE(control_->Input(), QString("Loopback"));  // the previous check's echo
    }
};

QTEST_GUILESS_MAIN(TestSerialPortControl)
#include "test_serial_port_control.moc"
