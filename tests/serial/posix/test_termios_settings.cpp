#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QTest>
#include <cstring>

#include "device_sinks.h"
#include "pty_pair.h"
#include "system_device.h"
#include "termios_settings.h"

namespace {

OpenRequest requestFor(const char* settings) {
    OpenRequest request;
    request.settings = *LineSettings::parse(QString::fromLatin1(settings));
    return request;
}

}  // namespace

class TestTermiosSettings : public QObject {
    Q_OBJECT

private slots:
    void appliesRawModeAndSettingsAndGivesTheTtyBack() {
        PtyPair pty;
        QVERIFY(pty.ok());
        // Opened first, so that the device's exclusive hold does not shut the test out.
        const int probe = ::open(pty.slavePath().toLocal8Bit(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(probe >= 0);
        termios found{};
        QCOMPARE(tcgetattr(probe, &found), 0);
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

        // Settings the tty has already are not applied again.
        QVERIFY(
            !applyLineSettings(probe, pty.slavePath(), *LineSettings::parse("115200,n,8,1"), true));
        QVERIFY(
            applyLineSettings(probe, pty.slavePath(), *LineSettings::parse("9600,n,8,1"), true));

        device.reset();  // closing gives the tty back as it was found
        QCOMPARE(tcgetattr(probe, &t), 0);
        QCOMPARE(std::memcmp(&t, &found, sizeof t), 0);
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
};

QTEST_GUILESS_MAIN(TestTermiosSettings)
#include "test_termios_settings.moc"
