#include <QTest>

#include "device_sinks.h"
#include "port_map.h"
#include "simulated_port.h"
#include "thrown_error.h"

namespace {

int openErrorOf(MappedDeviceOpener& opener, short port) {
    NullSink sink;
    return errorOf([&] { opener.open(port, OpenRequest{}, sink); }).number();
}

}  // namespace

class TestPortMap : public QObject {
    Q_OBJECT

private slots:
    void defaultNamesFollowTheSystemsNumbering() {
        QCOMPARE(PortMap::defaultDevice(1), QString("/dev/ttyS0"));
        QCOMPARE(PortMap::defaultDevice(16), QString("/dev/ttyS15"));
        PortMap map;
        QCOMPARE(std::get<QString>(map.targetFor(5)), QString("/dev/ttyS4"));
    }

    void takesEntries() {
        PortMap map;
        QCOMPARE(map.addEntry("1=sim"), QString());
        QCOMPARE(map.addEntry("2=sim:noplug"), QString());
        QCOMPARE(map.addEntry("3=/dev/ttyUSB0"), QString());
        QCOMPARE(map.addEntry(" 4 = /dev/pts/7 "), QString());
        QCOMPARE(map.addEntry("16=sim:held"), QString());

        QVERIFY(std::get<std::shared_ptr<SimulatedPort>>(map.targetFor(1)));
        QCOMPARE(std::get<QString>(map.targetFor(3)), QString("/dev/ttyUSB0"));
        QCOMPARE(std::get<QString>(map.targetFor(4)), QString("/dev/pts/7"));
        QCOMPARE(map.entries().size(), std::size_t(5));
        QCOMPARE(map.entries().begin()->first, 1);

        QCOMPARE(map.addEntry("3=sim"), QString());  // a later entry replaces
        QVERIFY(std::holds_alternative<std::shared_ptr<SimulatedPort>>(map.targetFor(3)));
    }

    void variantEntryPicksThatSimulation() {
        PortMap map;
        map.addEntry("1=sim");
        map.addEntry("2=sim:absent");
        map.addEntry("3=sim:held");
        MappedDeviceOpener opener(map);
        QCOMPARE(openErrorOf(opener, 1), 0);
        QCOMPARE(openErrorOf(opener, 2), CommErrors::InvalidPortNumber);
        QCOMPARE(openErrorOf(opener, 3), CommErrors::PortAlreadyOpen);
    }

    void refusesBadEntries_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("no equals sign") << "sim"
                                        << "N=DEVICE";
        QTest::newRow("no number") << "=sim"
                                   << "N=DEVICE";
        QTest::newRow("empty") << ""
                               << "N=DEVICE";
        QTest::newRow("number not a number") << "one=sim"
                                             << "from 1 to 16";
        QTest::newRow("port zero") << "0=sim"
                                   << "from 1 to 16";
        QTest::newRow("port beyond the window's") << "17=sim"
                                                  << "from 1 to 16";
        QTest::newRow("port too high") << "256=/dev/ttyUSB0"
                                       << "from 1 to 16";
        QTest::newRow("unknown variant") << "1=sim:bogus"
                                         << "noplug";
        QTest::newRow("relative path") << "1=ttyUSB0"
                                       << "absolute path";
        QTest::newRow("no device") << "1="
                                   << "absolute path";
    }
    void refusesBadEntries() {
        QFETCH(QString, entry);
        QFETCH(QString, mentions);
        PortMap map;
        const QString error = map.addEntry(entry);
        QVERIFY2(error.contains(mentions), qPrintable(error));
        QVERIFY(map.entries().empty());
    }

    void openerRefusesNumbersOutOfRange() {
        MappedDeviceOpener opener{PortMap{}};
        QCOMPARE(openErrorOf(opener, 0), CommErrors::InvalidPortNumber);
        QCOMPARE(openErrorOf(opener, -3), CommErrors::InvalidPortNumber);
        QCOMPARE(openErrorOf(opener, PortNumbers::kLast + 1), CommErrors::InvalidPortNumber);
    }
};

QTEST_GUILESS_MAIN(TestPortMap)
#include "test_port_map.moc"
