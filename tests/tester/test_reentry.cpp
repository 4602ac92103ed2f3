#include <QTest>

#include "comm_event.h"
#include "lamp_colours.h"
#include "qt_platform.h"
#include "tester_rig.h"

namespace {

// The real platform; its waits also move the rig's clock on, for the simulated ports.
class QtPlatformOnRigClock : public QtPlatform {
public:
    std::shared_ptr<ManualClock> clock;
    std::function<void()> afterWait;

protected:
    void waitFor(quint32 milliseconds) override {
        QtPlatform::waitFor(milliseconds);
        clock->advanceMs(milliseconds);
        afterWait();
    }
};

QChar colourLetter(const FakeLamp& lamp) {
    if (lamp.BackColor() == LampColours::Red)
        return 'R';
    return lamp.BackColor() == LampColours::Green ? 'G' : '-';
}

// The output lamps and the number of logged events.
QString snapshot(TesterRig& rig) {
    return QString("%1%2/%3")
        .arg(colourLetter(rig.view.rts), colourLetter(rig.view.dtr))
        .arg(rig.view.list.lines.size());
}

void act(TesterRig& rig, const QString& action) {
    if (action == "toggle")
        rig.tester.cmdToggleDTR_Click();
    else if (action == "cycle")
        rig.tester.cmdCycle_Click();
    else if (action == "tick")
        rig.tester.Timer1_Timer();
    else
        rig.select(action.section(' ', 1));
}

}  // namespace

class ReentryTest : public QObject {
    Q_OBJECT

private slots:
    // Each row runs on the fake platform and on the real one. Notifications posted before the
    // handler arrive during its first wait and run, in their order, only when it lets events
    // run: the trace shows each wait's end, then the outcome.
    void notificationsWaitForTheirTurn_data() {
        QTest::addColumn<bool>("real");
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QStringList>("posted");
        QTest::addColumn<bool>("portEvent");
        QTest::addColumn<QString>("expected");
        const QString box = "There was a problem opening the port. Error number: 8040";
        const struct {
            const char *handler, *posted;
            bool portEvent;
            QString expected;
        } rows[] = {
            // The lamps lag the pause by a pass; after the click the lines flip in step.
            {"cycle", "toggle", false, "GR/0 RR/3 | GG/7 com1 wiringG"},
            {"cycle", "toggle", true, "GR/0 RR/4 | GG/8 com1 wiringG"},
            // The second run does both its passes between the first run's two.
            {"cycle", "cycle", false, "GR/0 RG/0 GR/5 RG/8 | GR/10 com1 wiringG"},
            {"cycle", "cycle", true, "GR/0 RG/4 GR/6 RG/9 | GR/11 com1 wiringG"},
            // The poll reads port 2, which the selection's own check has drained.
            {"tick", "select 2", false, "GR/0 GR/0 | GR/0 com2 wiringR"},
            {"tick", "select 2", true, "GR/0 GR/1 | GR/1 com2 wiringR"},
            {"tick", "tick", false, "GR/0 GR/0 | GR/0 com1 wiringR"},
            {"tick", "tick", true, "GR/0 GR/1 | GR/1 com1 wiringR"},
            // Only the last selection tells, of the port it tried; port 1's event went with it.
            {"select 2", "select 3,select 4", false, "GR/0 GR/0 | GR/0 com4 wiring- " + box},
            {"select 2", "select 3,select 4", true, "GR/0 GR/0 | GR/0 com4 wiring- " + box},
        };
        for (const bool real : {false, true})
            for (const auto& row : rows)
                QTest::addRow("%s: %s during %s%s", real ? "Qt" : "fake", row.posted, row.handler,
                              row.portEvent ? ", port event" : "")
                    << real << QString(row.handler) << QString(row.posted).split(',')
                    << row.portEvent << row.expected;
    }

    void notificationsWaitForTheirTurn() {
        QFETCH(bool, real);
        QFETCH(QString, handler);
        QFETCH(QStringList, posted);
        QFETCH(bool, portEvent);
        QFETCH(QString, expected);

        QtPlatformOnRigClock qt;
        TesterRig rig(real ? &qt : nullptr);
        qt.clock = rig.clock;
        rig.tester.Form_Load();
        rig.deliverEvents();
        rig.view.list.lines.clear();
        rig.view.loop.setText("2");
        rig.view.delay.setText("5");
        rig.port(4).failOperation(SimulatedPort::Operation::Open, 8040, "Too many links",
                                  SimulatedPort::Repeat::Persistent);

        QStringList trace;
        qt.afterWait = rig.platform.onSleep = [&] { trace << snapshot(rig); };
        if (portEvent)
            rig.port(1).injectEvent(CommEvents::Break);
        for (const QString& action : posted)
            QMetaObject::invokeMethod(
                this, [&rig, action] { act(rig, action); }, Qt::QueuedConnection);
        act(rig, handler);
        rig.deliverEvents();
        trace << "|" << snapshot(rig) << QString("com%1").arg(rig.comPort.CommPort())
              << QString("wiring%1").arg(colourLetter(rig.view.indicator[3]));
        for (const auto& shown : rig.view.boxes.shown)
            trace << shown.prompt.section("\r\n", 0, 1).replace("\r\n", "");
        QCOMPARE(trace.join(' '), expected);
    }
};

QTEST_MAIN(ReentryTest)
#include "test_reentry.moc"
