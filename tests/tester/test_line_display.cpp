#include <QTest>

#include "lamp_colours.h"
#include "tester_rig.h"

using namespace LampColours;

class LineDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void outputLampsShowTheOutputLines() {
        TesterRig rig;
        rig.comPort.setDTREnable(true);
        rig.comPort.setRTSEnable(false);
        rig.tester.lineDisplay().ShowOutputLines();
        QCOMPARE(rig.view.dtr.BackColor(), Red);
        QCOMPARE(rig.view.rts.BackColor(), Green);
    }

    void aRefreshLightsOneLatchPerLineAndTheOutputLamps() {
        TesterRig rig;
        rig.tester.Form_Load();  // DTR on, RTS off: DSR and CD on, CTS off
        for (auto& lamp : rig.view.latch)
            lamp.setBackColor(Idle);
        for (auto& lamp : rig.view.latchNot)
            lamp.setBackColor(LatchNotIdle);
        rig.view.rts.setBackColor(Idle);

        rig.tester.lineDisplay().ShowInputLines();
        QCOMPARE(rig.view.latchNot[0].BackColor(), Red);
        QCOMPARE(rig.view.latch[0].BackColor(), Idle);  // the other lamp of the pair keeps
        QCOMPARE(rig.view.latch[1].BackColor(), Green);
        QCOMPARE(rig.view.latchNot[1].BackColor(), LatchNotIdle);
        QCOMPARE(rig.view.latchNot[2].BackColor(), Red);
        QVERIFY(rig.view.latchNotTimer[0].Enabled());
        QVERIFY(rig.view.latchTimer[1].Enabled());
        QVERIFY(!rig.view.latchTimer[0].Enabled());
        QCOMPARE(rig.view.rts.BackColor(), Green);
    }

    void bothLatchesLightWhenALineChangesBetweenRefreshes() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.comPort.setRTSEnable(true);
        rig.tester.lineDisplay().ShowInputLines();
        QCOMPARE(rig.view.latch[1].BackColor(), Green);
        QCOMPARE(rig.view.latchNot[1].BackColor(), Red);
    }

    void aLatchTickPutsOutOnlyItsOwnLamp() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.comPort.setRTSEnable(true);
        rig.tester.lineDisplay().ShowInputLines();  // every latch lamp of CTS is lit now

        rig.tester.timLatch_Timer(1);
        QCOMPARE(rig.view.latch[1].BackColor(), Idle);
        QVERIFY(!rig.view.latchTimer[1].Enabled());
        QCOMPARE(rig.view.latchNot[1].BackColor(), Red);
        QVERIFY(rig.view.latchNotTimer[1].Enabled());
        QCOMPARE(rig.view.latchNot[0].BackColor(), Red);

        // One-shot: once out, a late tick changes nothing.
        rig.tester.timLatch_Timer(1);
        QCOMPARE(rig.view.latch[1].BackColor(), Idle);

        for (short i = 0; i < 3; ++i) {
            rig.tester.timLatch_Timer(i);
            rig.tester.timLatchNot_Timer(i);
        }
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rig.view.latch[i].BackColor(), Idle);
            QCOMPARE(rig.view.latchNot[i].BackColor(), LatchNotIdle);
            QVERIFY(!rig.view.latchTimer[i].Enabled());
            QVERIFY(!rig.view.latchNotTimer[i].Enabled());
        }
    }

    void aFailingLineReadStopsTheRefreshWhereItIs() {
        TesterRig rig;
        rig.tester.Form_Load();
        rig.view.indicator[0].setBackColor(Idle);
        rig.view.rts.setBackColor(Idle);
        rig.port(1).failOperation(SimulatedPort::Operation::Inputs, CommErrors::LineControlFailed,
                                  "No lines.");
        QVERIFY_THROWS_EXCEPTION(CommError, rig.tester.lineDisplay().ShowInputLines());
        QCOMPARE(rig.view.indicator[0].BackColor(), Idle);
        QCOMPARE(rig.view.rts.BackColor(), Idle);
    }
};

QTEST_GUILESS_MAIN(LineDisplayTest)
#include "test_line_display.moc"
