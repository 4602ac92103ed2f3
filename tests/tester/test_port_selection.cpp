#include <QTest>

#include "comm_event.h"
#include "lamp_colours.h"
#include "tester_rig.h"

using namespace LampColours;

namespace {

const QString kPlease = QStringLiteral("\r\nPlease select a different port");

std::array<int, 4> selectionLamps(FakeView& view) {
    return {view.indicator[0].BackColor(), view.indicator[1].BackColor(),
            view.indicator[2].BackColor(), view.indicator[3].BackColor()};
}

enum class Failure { Absent, Held, Refused };

void colourAll(FakeView& view, int colour) {
    for (auto& lamp : view.indicator)
        lamp.setBackColor(colour);
}

}  // namespace

class PortSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void startUpOpensPortOneAndShowsTheLines() {
        TesterRig rig;
        rig.tester.Form_Load();

        QVERIFY(rig.comPort.PortOpen());
        QCOMPARE(rig.comPort.CommPort(), short(1));
        QCOMPARE(rig.comPort.Settings(), QString("9600,n,8,1"));
        QVERIFY(rig.comPort.DTREnable());
        QVERIFY(!rig.comPort.RTSEnable());
        QCOMPARE(rig.view.indicator[3].BackColor(), Green);
        QCOMPARE(rig.view.dtr.BackColor(), Red);
        QCOMPARE(rig.view.rts.BackColor(), Green);
        // Loopback plug: DSR and CD follow DTR (on), CTS follows RTS (off).
        QCOMPARE(rig.view.indicator[0].BackColor(), Red);
        QCOMPARE(rig.view.indicator[1].BackColor(), Green);
        QCOMPARE(rig.view.indicator[2].BackColor(), Red);
        QCOMPARE(rig.port(1).transmitted(), QByteArray("Loopback"));
        QVERIFY(rig.view.boxes.shown.empty());
        QCOMPARE(rig.platform.sleeps, std::vector<quint32>{100});
        rig.deliverEvents();  // nothing moved on the loopback: nothing logged or counted
        QVERIFY(rig.view.list.lines.isEmpty());
        QCOMPARE(rig.view.count.Text(), QString("0"));
    }

    void anOpenFailureShowsItsMessageAndIdlesTheLamps_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("start-up without port 1")
            << 1 << int(Failure::Absent) << "Com 1 is not a valid port." + kPlease;
        QTest::newRow("port held") << 3 << int(Failure::Held) << "Com 3 is already open." + kPlease;
        QTest::newRow("another failure")
            << 2 << int(Failure::Refused)
            << QString(
                   "There was a problem opening the port.\r\n Error number: 8030\r\n"
                   "Error description: You need read-write access to /dev/x.");
    }
    void anOpenFailureShowsItsMessageAndIdlesTheLamps() {
        QFETCH(int, port);
        QFETCH(int, failure);
        QFETCH(QString, prompt);
        TesterRig rig;
        if (port != 1)
            rig.tester.Form_Load();  // port 1 is open: the selection closes it first
        switch (Failure(failure)) {
            case Failure::Absent:
                rig.port(port).setAbsent(true);
                break;
            case Failure::Held:
                rig.port(port).setHeld(true);
                break;
            case Failure::Refused:
                rig.port(port).failOperation(SimulatedPort::Operation::Open,
                                             CommErrors::PermissionDenied,
                                             "You need read-write access to /dev/x.");
                break;
        }
        colourAll(rig.view, Red);

        rig.select(QString::number(port));
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QCOMPARE(rig.view.boxes.shown[0].prompt, prompt);
        QCOMPARE(rig.view.boxes.shown[0].title, QString());
        QCOMPARE(selectionLamps(rig.view), (std::array<int, 4>{Idle, Idle, Idle, Idle}));
        QVERIFY(!rig.comPort.PortOpen());
        const auto sleeps = rig.platform.sleeps.size();
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.status.Text(), QString());
        QCOMPARE(rig.platform.sleeps.size(), sleeps);  // no check on a closed port
    }

    void numbersOutsideOneToSixteenChangeNothing() {
        TesterRig rig;
        rig.tester.Form_Load();
        QCOMPARE(rig.tester.portSelection().OpenValidPort(rig.comPort, 0), short(0));
        QCOMPARE(rig.tester.portSelection().OpenValidPort(rig.comPort, 17), short(0));
        QVERIFY(rig.comPort.PortOpen());
        QCOMPARE(rig.port(1).openCount(), 1);
        QVERIFY(rig.view.boxes.shown.empty());

        rig.select("17");
        QCOMPARE(selectionLamps(rig.view), (std::array<int, 4>{Idle, Idle, Idle, Idle}));
        QVERIFY(rig.comPort.PortOpen());
        QVERIFY(rig.view.boxes.shown.empty());
    }

    void numbersBeyondSixteenBitsAreAnInvalidSelection() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.select("99999999999");
        QCOMPARE(selectionLamps(rig.view), (std::array<int, 4>{Idle, Idle, Idle, Idle}));
        QVERIFY(rig.comPort.PortOpen());
        QVERIFY(rig.view.boxes.shown.empty());
    }

    void aFractionOpensThePortButFails() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.comPort.setDTREnable(false);
        rig.comPort.setRTSEnable(true);
        rig.view.dtr.setBackColor(Green);
        rig.view.rts.setBackColor(Red);

        rig.select("3.4");
        QVERIFY(rig.comPort.PortOpen());
        QCOMPARE(rig.comPort.CommPort(), short(3));
        QCOMPARE(selectionLamps(rig.view), (std::array<int, 4>{Idle, Idle, Idle, Idle}));
        QVERIFY(!rig.comPort.DTREnable());
        QVERIFY(rig.comPort.RTSEnable());
        QCOMPARE(rig.view.dtr.BackColor(), Green);
        QVERIFY(rig.port(3).transmitted().isEmpty());

        rig.tester.Timer1_Timer();  // the next poll colours the wiring lamp
        QCOMPARE(rig.view.indicator[3].BackColor(), Green);
    }

    void reselectingTheOpenPortReopensItQuietly() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.select("1");
        QVERIFY(rig.view.boxes.shown.empty());
        QCOMPARE(rig.port(1).openCount(), 2);
        QVERIFY(rig.comPort.PortOpen());
        QCOMPARE(rig.view.indicator[3].BackColor(), Green);
    }

    void noPlugGivesARedWiringLampAndStillSends() {
        TesterRig rig;
        rig.port(1).setWiring(SimulatedPort::Wiring::NoPlug);
        rig.tester.Form_Load();
        QCOMPARE(rig.view.indicator[3].BackColor(), Red);
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.indicator[3].BackColor(), Red);
        QCOMPARE(rig.port(1).transmitted(), QByteArray("LoopbackLoopback"));
        QCOMPARE(rig.view.indicator[0].BackColor(), Green);  // nothing drives the inputs
    }

    void aLateEchoFailsTwiceThenPasses() {
        TesterRig rig;
        rig.port(1).setEchoDelay(std::chrono::milliseconds(150));
        rig.tester.Form_Load();
        QCOMPARE(rig.view.indicator[3].BackColor(), Red);  // nothing yet after 100 ms

        rig.clock->advanceMs(900);  // the rest of the second: the late echo arrives
        rig.port(1).setEchoDelay({});
        rig.tester.Timer1_Timer();  // reads the late echo, then its own
        QCOMPARE(rig.view.indicator[3].BackColor(), Red);

        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.indicator[3].BackColor(), Green);
    }

    void pollShowsTheLastEventCode() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.status.Text(), QString("0"));  // DTR stayed on through the opening

        rig.port(1).injectEvent(CommEvents::ReceiveOverflow);
        rig.deliverEvents();
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.status.Text(), QString("1008"));

        rig.comPort.setPortOpen(false);
        const auto lamps = selectionLamps(rig.view);
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.status.Text(), QString());
        QCOMPARE(selectionLamps(rig.view), lamps);
    }

    void aNestedPollDrainsTheOuterCheck() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.platform.queueEvent([&] { rig.tester.Timer1_Timer(); });
        rig.tester.Timer1_Timer();
        // The nested check took both echoes; the outer one read nothing.
        QCOMPARE(rig.view.indicator[3].BackColor(), Red);
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.indicator[3].BackColor(), Green);
    }

    void aNestedSelectionClosingThePortEndsTheCheck() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.port(5).setAbsent(true);
        rig.platform.queueEvent([&] { rig.select("5"); });
        rig.tester.Timer1_Timer();
        QVERIFY(!rig.comPort.PortOpen());
        QCOMPARE(rig.view.indicator[3].BackColor(), Red);
        QCOMPARE(rig.view.boxes.shown.back().prompt, "Com 5 is not a valid port." + kPlease);
    }

    void aNestedSelectionOfAnotherPortIsReadByTheOuterCheck() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.platform.queueEvent([&] { rig.select("2"); });
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.comPort.CommPort(), short(2));
        QVERIFY(rig.comPort.PortOpen());
        // The inner selection's own check drained port 2; the outer check then read nothing.
        QCOMPARE(rig.view.indicator[3].BackColor(), Red);
    }

    void aPollThatFailsEverySecondIsToldOnce() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.port(1).failOperation(SimulatedPort::Operation::Write, CommErrors::WriteFailed,
                                  "Write failed.", SimulatedPort::Repeat::Persistent);
        for (int tick = 0; tick < 5; ++tick)
            rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QVERIFY(rig.view.boxes.shown[0].prompt.contains("Error number: 8021"));
        QVERIFY(rig.view.boxes.shown[0].prompt.contains("Write failed."));

        rig.port(1).clearFailures();
        rig.tester.Timer1_Timer();  // a good poll: the next failure is news again
        rig.port(1).failOperation(SimulatedPort::Operation::Write, CommErrors::WriteFailed,
                                  "Write failed.");
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.boxes.shown.size(), size_t(2));
    }

    void noBoxIsStackedWhileOneIsOpen() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.port(1).failOperation(SimulatedPort::Operation::Write, CommErrors::WriteFailed,
                                  "Write failed.", SimulatedPort::Repeat::Persistent);
        int nested = 0;
        rig.view.boxes.onShow = [&] {
            // Ticks that come while the box is open fail too, with another description.
            if (nested++ < 3) {
                rig.port(1).failOperation(SimulatedPort::Operation::Write, CommErrors::WriteFailed,
                                          QString("Write failed %1.").arg(nested),
                                          SimulatedPort::Repeat::Persistent);
                rig.tester.Timer1_Timer();
            }
        };
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QCOMPARE(rig.tester.errorReporter().suppressedReports(), 1);
    }

    void aVanishedDeviceIsToldOnceAndReopenedWhenBack() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.port(1).vanish();
        rig.deliverEvents();
        QVERIFY(!rig.comPort.PortOpen());
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QVERIFY(rig.view.boxes.shown[0].prompt.contains("8031"));
        QCOMPARE(selectionLamps(rig.view), (std::array<int, 4>{Idle, Idle, Idle, Idle}));

        for (int tick = 0; tick < 3; ++tick)
            rig.tester.Timer1_Timer();
        rig.deliverEvents();
        QCOMPARE(rig.view.status.Text(), QString());
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));

        rig.port(1).restore();
        rig.tester.Timer1_Timer();
        QVERIFY(rig.comPort.PortOpen());
        QCOMPARE(rig.view.indicator[3].BackColor(), Green);

        // Lost during the wiring check's wait: its lamp goes idle with the others, not red.
        rig.platform.onSleep = [&] { rig.port(1).vanish(); };
        rig.tester.Timer1_Timer();
        QCOMPARE(selectionLamps(rig.view), (std::array<int, 4>{Idle, Idle, Idle, Idle}));
        QCOMPARE(rig.view.status.Text(), QString());
        QCOMPARE(rig.view.boxes.shown.size(), size_t(2));
    }

    void lostEventsAreToldOncePerSelection() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.tester.comPort_EventsLost(12);
        rig.tester.comPort_EventsLost(40);
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QVERIFY(rig.view.boxes.shown[0].prompt.contains("12 events"));
        rig.select("1");
        rig.tester.comPort_EventsLost(90);
        QCOMPARE(rig.view.boxes.shown.size(), size_t(2));
    }

    void aFailingDtrWriteAfterOpeningIsReported() {
        TesterRig rig;
        rig.port(1).failOperation(SimulatedPort::Operation::SetDtr, CommErrors::LineControlFailed,
                                  "DTR stuck.");
        rig.tester.Form_Load();
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QVERIFY(rig.view.boxes.shown[0].prompt.contains("DTR stuck."));
        QVERIFY(rig.comPort.PortOpen());
    }
};

QTEST_GUILESS_MAIN(PortSelectionTest)
#include "test_port_selection.moc"
