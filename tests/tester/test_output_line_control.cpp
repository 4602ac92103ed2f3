#include <QTest>

#include "lamp_colours.h"
#include "tester_rig.h"

using namespace LampColours;

namespace {

// A port opened as start-up leaves it: DTR on, RTS off.
struct CycleRig : TesterRig {
    CycleRig() {
        tester.Form_Load();
        deliverEvents();
        platform.sleeps.clear();
        platform.pumps = 0;
        port(1).clearTransmitted();
    }
    void cycle(const QString& loops, const QString& delay = "0") {
        view.loop.setText(loops);
        view.delay.setText(delay);
        tester.cmdCycle_Click();
    }
    int passes() const { return static_cast<int>(platform.sleeps.size()); }
};

}  // namespace

class OutputLinesTest : public QObject {
    Q_OBJECT

private slots:
    void togglesFlipOneLineAndItsLamp() {
        CycleRig rig;
        rig.tester.cmdToggleDTR_Click();
        QVERIFY(!rig.comPort.DTREnable());
        QCOMPARE(rig.view.dtr.BackColor(), Green);
        rig.tester.cmdToggleRTS_Click();
        QVERIFY(rig.comPort.RTSEnable());
        QCOMPARE(rig.view.rts.BackColor(), Red);
        rig.tester.cmdToggleDTR_Click();
        QVERIFY(rig.comPort.DTREnable());
        QCOMPARE(rig.view.dtr.BackColor(), Red);
    }

    void passCounts_data() {
        QTest::addColumn<QString>("loops");
        QTest::addColumn<int>("passes");
        QTest::newRow("100") << "100" << 100;
        QTest::newRow("3") << "3" << 3;
        QTest::newRow("25000") << "25000" << 20000;
        QTest::newRow("20000.2") << "20000.2" << 20000;
        QTest::newRow("2.5") << "2.5" << 2;
        QTest::newRow("3.5") << "3.5" << 4;
        QTest::newRow("0.4") << "0.4" << 0;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("-7") << "-7" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("abc") << "abc" << 0;
        QTest::newRow("below 16 bits") << "-40000" << 0;
    }
    void passCounts() {
        QFETCH(QString, loops);
        QFETCH(int, passes);
        CycleRig rig;
        rig.view.rts.setBackColor(Idle);
        rig.cycle(loops);
        QCOMPARE(rig.passes(), passes);
        QCOMPARE(rig.platform.pumps, passes);
        // Opposition is kept: odd counts invert both lines, even counts restore them.
        QCOMPARE(rig.comPort.DTREnable(), passes % 2 == 0);
        QCOMPARE(rig.comPort.RTSEnable(), passes % 2 == 1);
        QCOMPARE(rig.view.rts.BackColor(), passes == 0 ? Idle : passes % 2 ? Red : Green);
    }

    void thePauseIsReadAgainEveryPass() {
        CycleRig rig;
        int pass = 0;
        std::function<void()> changeDelay = [&] {
            if (++pass == 1)
                rig.view.delay.setText("500");  // during pass 1's events
            rig.platform.queueEvent(changeDelay);
        };
        rig.platform.queueEvent(changeDelay);
        rig.cycle("4", "30");
        QCOMPARE(rig.platform.sleeps, (std::vector<quint32>{30, 500, 500, 500}));
    }

    void pausesThatCannotBeWaitedFor() {
        CycleRig rig;
        rig.cycle("2", "-5");
        QCOMPARE(rig.platform.sleeps, (std::vector<quint32>{0, 0}));
        rig.platform.sleeps.clear();
        rig.cycle("2", "abc");
        QCOMPARE(rig.platform.sleeps, (std::vector<quint32>{0, 0}));
    }

    void aPauseBeyondThirtyTwoBitsStopsTheRunOnce() {
        CycleRig rig;
        rig.cycle("5", "3000000000");
        QCOMPARE(rig.passes(), 0);
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QVERIFY(rig.view.boxes.shown[0].prompt.contains("32-bit"));
        // The first pass had flipped both lines before the pause was read; they stay.
        QVERIFY(rig.comPort.RTSEnable());
        QVERIFY(!rig.comPort.DTREnable());
        rig.cycle("5", "9999999999");  // a second click shows its box again
        QCOMPARE(rig.view.boxes.shown.size(), size_t(2));
    }

    void theLampsLagThePauseByOnePass() {
        CycleRig rig;
        std::vector<int> rtsLampDuringPauses;
        rig.platform.onSleep = [&] { rtsLampDuringPauses.push_back(rig.view.rts.BackColor()); };
        rig.cycle("2");
        QCOMPARE(rtsLampDuringPauses, (std::vector<int>{Green, Red}));
        QCOMPARE(rig.view.rts.BackColor(), Green);
    }

    void aToggleDuringARunTurnsOppositionIntoStep() {
        CycleRig rig;
        rig.platform.queueEvent([&] { rig.tester.cmdToggleDTR_Click(); });
        rig.cycle("2");
        // Pass 1: RTS on, DTR off, then the click: DTR on. Pass 2: both off.
        QVERIFY(!rig.comPort.RTSEnable());
        QVERIFY(!rig.comPort.DTREnable());
    }

    void aSecondRunInsideTheFirstRunsAllItsPasses() {
        CycleRig rig;
        rig.platform.queueEvent([&] {
            rig.view.loop.setText("3");
            rig.tester.cmdCycle_Click();
        });
        rig.cycle("2");
        QCOMPARE(rig.passes(), 5);
        QVERIFY(rig.comPort.RTSEnable());  // five flips from off
    }

    void aSelectionDuringARunMovesTheRestToTheNewPort() {
        CycleRig rig;
        rig.platform.queueEvent([&] { rig.select("2"); });
        rig.cycle("3");
        QCOMPARE(rig.comPort.CommPort(), short(2));
        // Port 2 opened with DTR on, RTS off; two more passes leave them so.
        QVERIFY(rig.comPort.DTREnable());
        QVERIFY(!rig.comPort.RTSEnable());
        QCOMPARE(rig.port(2).dtr(), true);
    }

    void aControlErrorStopsTheRunAndEveryClickIsAnswered() {
        CycleRig rig;
        rig.port(1).failOperation(SimulatedPort::Operation::SetDtr, CommErrors::LineControlFailed,
                                  "DTR stuck.", SimulatedPort::Repeat::Persistent);
        rig.cycle("10");
        QCOMPARE(rig.passes(), 0);
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QVERIFY(rig.view.boxes.shown[0].prompt.contains("DTR stuck."));
        QVERIFY(rig.comPort.RTSEnable());  // flipped before the failure, stays flipped
        QVERIFY(rig.comPort.DTREnable());  // never changed
        rig.cycle("10");                   // the user's click is answered again
        QCOMPARE(rig.view.boxes.shown.size(), size_t(2));
    }

    void closingTheWindowStopsTheRun() {
        CycleRig rig;
        rig.platform.queueEvent([&] { rig.tester.Form_Unload(); });
        rig.cycle("20000");
        QCOMPARE(rig.passes(), 1);
    }

    void theSensorsAreFollowedInTheLog() {
        CycleRig rig;
        rig.view.list.lines.clear();
        rig.view.count.setText("0");
        rig.cycle("2");
        // Pass 1: RTS on (CTS 3), DTR off (DSR fell 4, CD 5). Pass 2: RTS off (3), DTR on (5).
        QCOMPARE(
            rig.view.list.lines,
            (QStringList{"5 - Change in Carrier Detect line.", "3 - Change in Clear To Send line.",
                         "5 - Change in Carrier Detect line.",
                         "4 - Change in Data Set Ready line. This event is only fired "
                         "when DSR changes from 1 to 0.",
                         "3 - Change in Clear To Send line."}));
        QCOMPARE(rig.view.count.Text(), QString("5"));
    }
};

QTEST_GUILESS_MAIN(OutputLinesTest)
#include "test_output_line_control.moc"
