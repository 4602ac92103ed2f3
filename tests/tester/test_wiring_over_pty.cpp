#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "fake_view.h"
#include "lamp_colours.h"
#include "port_map.h"
#include "pty_pair.h"
#include "serial_port_control.h"
#include "system_device.h"
#include "tester.h"

namespace {

// The real pause and event pump.
class RealPlatform : public Platform {
protected:
    void waitFor(quint32 ms) override { QThread::msleep(ms); }
    void pumpWindowEvents() override { QCoreApplication::processEvents(); }
};

// Where the far end echoes, reading waits for the whole echo: how soon it comes back depends
// on the machine's load, so the time is printed rather than judged.
class EchoAwaitingControl : public SerialPortControl {
public:
    using SerialPortControl::SerialPortControl;
    bool echoing = false;

    void setOutput(const QString& text) override {
        SerialPortControl::setOutput(text);
        owed_ += text.size();
        sent_.start();
    }
    QString Input() override {
        QString got = SerialPortControl::Input();
        while (echoing && got.size() < owed_ && sent_.elapsed() < 10000) {
            QThread::msleep(1);
            got += SerialPortControl::Input();
        }
        if (echoing)
            qInfo("echo of %lld characters complete after %lld ms", owed_, sent_.elapsed());
        owed_ = 0;
        return got;
    }

private:
    qsizetype owed_ = 0;
    QElapsedTimer sent_;
};

// The test's own lock folder, never the machine's.
QString ownLockFolder() {
    static const QTemporaryDir locks;
    return locks.path();
}

struct PtyRig {
    explicit PtyRig(const PtyPair& pty, const QString& lockFolder = ownLockFolder())
        : comPort([&] {
              PortMap map;
              map.map(1, pty.slavePath());
              SystemFolders folders;
              folders.lock = lockFolder;
              return std::make_shared<MappedDeviceOpener>(
                  map, std::make_shared<SystemSerialPorts>(folders, SystemSerialPorts::Scan::None));
          }()) {
        QObject::connect(&comPort, &SerialPortControl::OnComm, [this] { tester.comPort_OnComm(); });
        QObject::connect(&comPort, &SerialPortControl::deviceLost,
                         [this](int number, const QString& description) {
                             tester.comPort_DeviceLost(number, description);
                         });
    }
    FakeView view;
    RealPlatform platform;
    EchoAwaitingControl comPort;
    Tester tester{view, comPort, platform};
};

}  // namespace

class WiringOverPtyTest : public QObject {
    Q_OBJECT

private slots:
    void anEchoingFarEndGivesAGreenWiringLamp() {
        PtyPair pty;
        QVERIFY(pty.ok());
        pty.startEcho();
        PtyRig rig(pty);
        rig.comPort.echoing = true;
        rig.tester.Form_Load();
        QVERIFY(rig.view.boxes.shown.empty());
        QVERIFY(rig.comPort.PortOpen());
        QCOMPARE(rig.view.indicator[LineIndex::Wiring].BackColor(), LampColours::Green);
        // A pseudo-terminal has no modem lines: the inputs read off, the outputs as set.
        QCOMPARE(rig.view.indicator[LineIndex::Cts].BackColor(), LampColours::Green);
        QCOMPARE(rig.view.dtr.BackColor(), LampColours::Red);
        rig.tester.Timer1_Timer();
        QCOMPARE(rig.view.indicator[LineIndex::Wiring].BackColor(), LampColours::Green);
    }

    void aSilentFarEndGivesARedOne() {
        PtyPair pty;
        QVERIFY(pty.ok());
        PtyRig rig(pty);
        rig.tester.Form_Load();
        QCOMPARE(rig.view.indicator[LineIndex::Wiring].BackColor(), LampColours::Red);
        QCOMPARE(pty.receive(8), QByteArray("Loopback"));
    }

    void aHungUpTtyIsToldOnceAndTheLampsGoIdle() {
        PtyPair pty;
        QVERIFY(pty.ok());
        pty.startEcho();
        QTemporaryDir locks;
        PtyRig rig(pty, locks.path());
        rig.comPort.echoing = true;
        rig.tester.Form_Load();
        QCOMPARE(rig.view.indicator[LineIndex::Wiring].BackColor(), LampColours::Green);
        const QString lock = locks.filePath("LCK.." + pty.slavePath().mid(5).replace('/', '_'));
        QVERIFY(QFile::exists(lock));

        pty.stopEcho();
        pty.closeMaster();  // the far end goes away: the tty hangs up
        QTRY_VERIFY_WITH_TIMEOUT(!rig.comPort.PortOpen(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.view.boxes.shown.size(), size_t(1), 2000);
        QVERIFY(rig.view.boxes.shown[0].prompt.contains("Error number: 8031"));
        QCOMPARE(rig.view.indicator[LineIndex::Wiring].BackColor(), LampColours::Idle);
        QVERIFY(!QFile::exists(lock));  // a lost port is closed, and its lock goes

        for (int tick = 0; tick < 3; ++tick)
            rig.tester.Timer1_Timer();
        QCoreApplication::processEvents();
        QCOMPARE(rig.view.status.Text(), QString());
        QCOMPARE(rig.view.boxes.shown.size(), size_t(1));
    }

    void aSecondTesterOnTheSamePortIsToldItIsOpen() {
        PtyPair pty;
        QVERIFY(pty.ok());
        PtyRig first(pty);
        first.tester.Form_Load();
        PtyRig second(pty);
        second.tester.Form_Load();
        QCOMPARE(second.view.boxes.shown.size(), size_t(1));
        QCOMPARE(second.view.boxes.shown[0].prompt,
                 QString("Com 1 is already open.\r\nPlease select a different port"));
    }
};

QTEST_GUILESS_MAIN(WiringOverPtyTest)
#include "test_wiring_over_pty.moc"
