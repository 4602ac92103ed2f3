#include <QTest>

#include "comm_event.h"
#include "forwarding_port.h"
#include "lamp_colours.h"
#include "tester_rig.h"

using namespace LampColours;

namespace {

const QString kCtsLine = QStringLiteral("3 - Change in Clear To Send line.");
const QString kRingLine = QStringLiteral(
    "6 - Ring detected. Some UARTs (universal asynchronous receiver-transmitters) may not "
    "support this event.");
const QString kProblemPrompt = QStringLiteral(
    "There was a problem processing the serial port interrupt\r\nError description: ");

// An open port with its start-up traces put out, ready for one notification.
struct OpenRig : TesterRig {
    OpenRig() {
        tester.Form_Load();
        deliverEvents();
        view.list.lines.clear();
        view.count.setText("0");
        for (auto& lamp : view.indicator)
            lamp.setBackColor(Idle);
        view.rts.setBackColor(Idle);
        view.dtr.setBackColor(Idle);
    }

    void notify(short code) {
        port(1).injectEvent(code);
        deliverEvents();
    }
    bool lampsRefreshed() { return view.rts.BackColor() != Idle; }
};

}  // namespace

class CommEventLogTest : public QObject {
    Q_OBJECT

private slots:
    void everyCodeHasItsText_data() {
        QTest::addColumn<short>("code");
        QTest::addColumn<QString>("text");
        const auto row = [](short code, const char* text) {
            QTest::addRow("%d", code) << code << QString(text);
        };
        row(1001, "A Break signal was received.");
        row(1004, "Framing Error. The hardware detected a framing error.");
        row(1006,
            "Port Overrun. A character was not read from the hardware before the next "
            "character arrived and was lost.");
        row(1008, "Receive Buffer Overflow. There is no room in the receive buffer.");
        row(1009, "Parity Error. The hardware detected a parity error.");
        row(1010,
            "Transmit Buffer Full. The transmit buffer was full while trying to queue a "
            "character.");
        row(1011, "Unexpected error retrieving Device Control Block (DCB) for the port.");
        row(1, "There are fewer than Sthreshold number of characters in the transmit buffer.");
        row(2,
            "Received Rthreshold number of characters. This event is generated continuously "
            "until you use the Input property to remove the data from the receive buffer.");
        row(3, "Change in Clear To Send line.");
        row(4,
            "Change in Data Set Ready line. This event is only fired when DSR changes from 1 "
            "to 0.");
        row(5, "Change in Carrier Detect line.");
        row(7, "End Of File (ASCII character 26) character received.");
        row(8, "Unknown status");
        row(0, "Unknown status");
        row(-1, "Unknown status");
    }
    void everyCodeHasItsText() {
        QFETCH(short, code);
        QFETCH(QString, text);
        QCOMPARE(CommEventLog::CommEventText(code), text);
    }

    void aLineChangeIsLoggedRefreshedAndCounted() {
        OpenRig rig;
        rig.port(1).driveInput(SimulatedPort::InputLine::Cts, true);  // the sensor closes
        rig.deliverEvents();
        QCOMPARE(rig.view.list.lines, QStringList{kCtsLine});
        QCOMPARE(rig.view.count.Text(), QString("1"));
        // All five lamps refreshed, not only the one of the line that changed.
        QCOMPARE(rig.view.indicator[0].BackColor(), Red);
        QCOMPARE(rig.view.indicator[1].BackColor(), Red);
        QCOMPARE(rig.view.indicator[2].BackColor(), Red);
        QCOMPARE(rig.view.rts.BackColor(), Green);
        QCOMPARE(rig.view.dtr.BackColor(), Red);
        // One latch per input line, not only the one that changed.
        QCOMPARE(rig.view.latchNot[0].BackColor(), Red);  // DSR on
        QCOMPARE(rig.view.latchNot[1].BackColor(), Red);  // CTS on
        QCOMPARE(rig.view.latchNot[2].BackColor(), Red);  // CD on
    }

    void ringIsDroppedWhileIgnoredAndLoggedOtherwise() {
        OpenRig rig;
        rig.notify(CommEvents::Ring);
        QVERIFY(rig.view.list.lines.isEmpty());
        QCOMPARE(rig.view.count.Text(), QString("0"));
        QVERIFY(!rig.lampsRefreshed());

        rig.view.ignoreRing.value = 0;
        rig.notify(CommEvents::Ring);
        QCOMPARE(rig.view.list.lines, QStringList{kRingLine});
        QCOMPARE(rig.view.count.Text(), QString("1"));

        rig.view.ignoreRing.value = 2;  // greyed is not checked
        rig.notify(CommEvents::Ring);
        QCOMPARE(rig.view.list.ListCount(), 2);
    }

    void otherEventsAreLoggedWhatTheBoxSays() {
        OpenRig rig;
        rig.notify(CommEvents::Break);
        rig.view.ignoreRing.value = 0;
        rig.notify(8);
        QCOMPARE(rig.view.list.lines,
                 (QStringList{"8 - Unknown status", "1001 - A Break signal was received."}));
        QCOMPARE(rig.view.count.Text(), QString("2"));
    }

    void theListSettlesAtTwoThousandAndOne() {
        OpenRig rig;
        for (int i = 0; i < 2000; ++i)
            rig.view.list.lines.append(QString("old %1").arg(i));
        rig.notify(CommEvents::CdChanged);
        QCOMPARE(rig.view.list.ListCount(), 2001);
        QCOMPARE(rig.view.list.lines.last(), QString("old 1999"));

        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.list.ListCount(), 2001);
        QCOMPARE(rig.view.list.lines.first(), kCtsLine);
        QCOMPARE(rig.view.list.lines.last(), QString("old 1998"));
    }

    void theCounterCountsFromItsOwnText_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("zero") << "0"
                              << "1";
        QTest::newRow("41") << "41"
                            << "42";
        QTest::newRow("empty") << ""
                               << "1";
        QTest::newRow("letters") << "abc"
                                 << "1";
        QTest::newRow("fraction") << "2.5"
                                  << "3.5";
        QTest::newRow("negative") << "-1"
                                  << "0";
        QTest::newRow("leading number") << "7 events"
                                        << "8";
    }
    void theCounterCountsFromItsOwnText() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        OpenRig rig;
        rig.view.count.setText(before);
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.count.Text(), after);
    }

    void aCounterTooLargeToCountIsAFailureOfTheCount() {
        OpenRig rig;
        const QString huge(400, '9');
        rig.view.count.setText(huge);
        rig.view.boxes.answers = {DialogAnswer::Ignore};
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QCOMPARE(rig.view.boxes.shown[0].title, QString("Problem!"));
        QVERIFY(rig.view.boxes.shown[0].prompt.startsWith(kProblemPrompt));
        QCOMPARE(rig.view.list.ListCount(), 1);
        QCOMPARE(rig.view.count.Text(), huge);
    }

    void clearEmptiesTheListAndKeepsTheCount() {
        OpenRig rig;
        rig.tester.cmdClearStatus_Click();
        QVERIFY(rig.view.list.lines.isEmpty());
        rig.notify(CommEvents::CtsChanged);
        rig.notify(CommEvents::CdChanged);
        rig.tester.cmdClearStatus_Click();
        QVERIFY(rig.view.list.lines.isEmpty());
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.list.lines, QStringList{kCtsLine});
        QCOMPARE(rig.view.count.Text(), QString("3"));
    }

    void aLoggingFailureAnsweredEachWay_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("refreshed");
        QTest::addColumn<QString>("count");
        QTest::newRow("retry logs in full") << int(DialogAnswer::Retry) << 1 << true << "1";
        QTest::newRow("ignore goes on") << int(DialogAnswer::Ignore) << 0 << true << "1";
        QTest::newRow("abort leaves") << int(DialogAnswer::Abort) << 0 << false << "0";
        QTest::newRow("other leaves") << int(DialogAnswer::Other) << 0 << false << "0";
    }
    void aLoggingFailureAnsweredEachWay() {
        QFETCH(int, answer);
        QFETCH(int, lines);
        QFETCH(bool, refreshed);
        QFETCH(QString, count);
        OpenRig rig;
        rig.view.list.failWith(1, "List full.");
        rig.view.boxes.answers = {DialogAnswer(answer)};
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QCOMPARE(rig.view.boxes.shown[0].prompt, kProblemPrompt + "List full.");
        QCOMPARE(rig.view.list.ListCount(), lines);
        QCOMPARE(rig.lampsRefreshed(), refreshed);
        QCOMPARE(rig.view.count.Text(), count);
    }

    void aFailingCheckBoxIgnoredRunsTheRingTest() {
        OpenRig rig;
        rig.view.ignoreRing.value = 0;
        rig.view.ignoreRing.failWith(1, "No box.", 2);
        rig.view.boxes.answers = {DialogAnswer::Ignore, DialogAnswer::Ignore};
        rig.notify(CommEvents::Ring);  // as if checked: the ring is dropped
        QVERIFY(rig.view.list.lines.isEmpty());
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.list.lines, QStringList{kCtsLine});
        QCOMPARE(rig.view.count.Text(), QString("1"));

        rig.view.ignoreRing.failWith(1, "No box.");
        rig.view.boxes.answers = {DialogAnswer::Retry};
        rig.notify(CommEvents::Ring);  // retried: the box reads clear, the ring is logged
        QCOMPARE(rig.view.list.lines.first(), kRingLine);
    }

    void aFailingRingTestIgnoredLeavesTheHandler() {
        OpenRig rig;
        // The ring test reads the event code through a reference that fails once.
        EventCodeFailingPort flaky(rig.comPort);
        LineDisplay lines(rig.view, flaky);
        CommEventLog log(rig.view, flaky, lines);
        flaky.failWith(1, "Code unreadable.");
        rig.view.boxes.answers = {DialogAnswer::Ignore};
        rig.port(1).injectEvent(CommEvents::CtsChanged);
        QObject::disconnect(&rig.comPort, &SerialPortControl::OnComm, nullptr, nullptr);
        QObject::connect(&rig.comPort, &SerialPortControl::OnComm,
                         [&] { log.handleNotification(); });
        rig.deliverEvents();
        QCOMPARE(rig.view.boxes.shown.back().prompt, kProblemPrompt + "Code unreadable.");
        QVERIFY(rig.view.list.lines.isEmpty());
        QCOMPARE(rig.view.count.Text(), QString("0"));

        rig.port(1).injectEvent(
            CommEvents::CtsChanged);  // the code reads again: logged and counted
        rig.deliverEvents();
        QCOMPARE(rig.view.list.lines, QStringList{kCtsLine});
        QCOMPARE(rig.view.count.Text(), QString("1"));
    }

    void aFailingLineReadIgnoredStillCounts() {
        OpenRig rig;
        rig.view.boxes.answers = {DialogAnswer::Ignore};
        rig.port(1).failOperation(SimulatedPort::Operation::Inputs, CommErrors::LineControlFailed,
                                  "Lines unreadable.");
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.list.ListCount(), 1);
        QCOMPARE(rig.view.count.Text(), QString("1"));
        QCOMPARE(rig.view.boxes.shown.back().prompt, kProblemPrompt + "Lines unreadable.");
    }

    void aFailingRefreshAnsweredEachWay() {
        OpenRig rig;
        rig.port(1).failOperation(SimulatedPort::Operation::Inputs, CommErrors::LineControlFailed,
                                  "Lines unreadable.");
        rig.view.boxes.answers = {DialogAnswer::Retry};
        rig.notify(CommEvents::CtsChanged);
        QVERIFY(rig.lampsRefreshed());
        QCOMPARE(rig.view.count.Text(), QString("1"));

        rig.port(1).failOperation(SimulatedPort::Operation::Inputs, CommErrors::LineControlFailed,
                                  "Lines unreadable.");
        rig.view.boxes.answers = {DialogAnswer::Abort};
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.list.ListCount(), 2);
        QCOMPARE(rig.view.count.Text(), QString("1"));
    }

    void aFailingCountAnsweredEachWay() {
        OpenRig rig;
        rig.view.count.failWith(1, "Counter locked.");
        rig.view.boxes.answers = {DialogAnswer::Retry};
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.count.Text(), QString("1"));

        rig.view.count.failWith(1, "Counter locked.");
        rig.view.boxes.answers = {DialogAnswer::Ignore};
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.count.Text(), QString("1"));
        QCOMPARE(rig.view.list.ListCount(), 2);
    }

    void failuresDuringAnOpenBoxDoNotStackBoxes() {
        OpenRig rig;
        rig.view.list.failWith(1, "List full.", -1);
        rig.view.boxes.answers = {DialogAnswer::Ignore};
        rig.view.boxes.onShow = [&] {
            rig.port(1).injectEvent(CommEvents::CdChanged);
            rig.port(1).injectEvent(CommEvents::CdChanged);
            rig.deliverEvents();
        };
        rig.notify(CommEvents::CtsChanged);
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
        QCOMPARE(rig.view.count.Text(), QString("1"));  // only the one the box stood for
    }
};

QTEST_GUILESS_MAIN(CommEventLogTest)
#include "test_comm_event_log.moc"
