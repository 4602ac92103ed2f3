#include <QRegularExpression>
#include <QTest>

#include "device_sinks.h"
#include "fake_serial_tree.h"
#include "one_line_text.h"
#include "port_map.h"
#include "port_numbering.h"
#include "port_sources.h"
#include "system_device.h"
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
    void takesEntries() {
        PortMap map;
        QCOMPARE(addPortEntry(map, "1=sim"), QString());
        QCOMPARE(addPortEntry(map, "2=sim:noplug"), QString());
        QCOMPARE(addPortEntry(map, "3=/dev/ttyUSB0"), QString());
        QCOMPARE(addPortEntry(map, " 4 = /dev/pts/7 "), QString());
        QCOMPARE(addPortEntry(map, "16=sim:held"), QString());

        QVERIFY(std::get<std::shared_ptr<PortSource>>(map.entries().at(1).target));
        QCOMPARE(std::get<QString>(map.entries().at(3).target), QString("/dev/ttyUSB0"));
        QCOMPARE(std::get<QString>(map.entries().at(4).target), QString("/dev/pts/7"));
        QCOMPARE(map.entries().size(), std::size_t(5));
        QCOMPARE(map.entries().begin()->first, 1);

        QVERIFY(addPortEntry(map, "3=sim").contains("given twice"));  // one device a number
        QVERIFY(std::holds_alternative<QString>(map.entries().at(3).target));
    }

    // Numbers without an entry, from a fake sysfs and /dev: "N text" for port N, "- path" for
    // a device left without a number, "a N vid:pid|serial|maker|product" for the adapter there.
    void numbersReachTheDevicesPresent_data() {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QStringList>("entries");  // '@' stands for the fake tree's folder
        QTest::addColumn<QStringList>("expected");
        const QString ftdi =
            "ttyUSB0; usb=FTDI|FT232R USB UART|A10K3ABC; by-id=usb-FTDI_A10K3ABC; "
            "by-path=pci-0000:00:14.0-usb-0:10:1.0-port0";
        const QString prolific =
            "ttyUSB1; usb=Prolific|Prolific USB-Serial Controller|; "
            "by-path=pci-0000:00:14.0-usb-0:9:1.0-port0";
        QTest::newRow("native UARTs keep their numbers, with a chip only")
            << QStringList{"ttyS0; type=4; console", "ttyS1; type=0", "ttyS2; type=1"}
            << QStringList{}
            << QStringList{
                   "1 no port: /dev/ttyS0 would be here; system console: not numbered; "
                   "`--port 1=/dev/ttyS0` tests it anyway",
                   "2 no port", "3 /dev/ttyS2, 8250 UART", "4 no port",
                   "w /dev/ttyS0 system console"};
        QTest::newRow("other devices by socket, then by name")
            << QStringList{"ttyS1; type=4", ftdi,
                           prolific,        "ttyACM10",
                           "ttyACM2",       "ttyAMA0; usb=Arduino (www.arduino.cc)|Uno|8573"}
            << QStringList{}
            << QStringList{
                   "1 /dev/ttyUSB1, Prolific USB-Serial Controller; "
                   "/dev/serial/by-path/pci-0000:00:14.0-usb-0:9:1.0-port0",
                   "2 /dev/ttyS1, 16550A UART",
                   "3 /dev/ttyUSB0, FTDI FT232R USB UART, serial A10K3ABC; "
                   "/dev/serial/by-id/usb-FTDI_A10K3ABC, "
                   "/dev/serial/by-path/pci-0000:00:14.0-usb-0:10:1.0-port0",
                   "4 /dev/ttyACM2",
                   "5 /dev/ttyACM10",
                   "6 /dev/ttyAMA0, Arduino (www.arduino.cc) Uno, serial 8573",
                   "7 no port",
                   "a 1 0403:6001||Prolific|Prolific USB-Serial Controller"};
        QTest::newRow("entries first, and a device they name has no other number")
            << QStringList{"ttyS0; type=4", ftdi, "ttyUSB2"}
            << QStringList{"1=sim", "3=sim:held", "6=@/unplugged", "7=@/sys/class/tty/ttyS0/type",
                           "2=@/dev/serial/by-path/pci-0000:00:14.0-usb-0:10:1.0-port0"}
            << QStringList{"1 sim, simulated loopback plug",
                           "2 /dev/serial/by-path/pci-0000:00:14.0-usb-0:10:1.0-port0, FTDI "
                           "FT232R USB UART, serial A10K3ABC; /dev/serial/by-id/usb-FTDI_A10K3ABC, "
                           "/dev/serial/by-path/pci-0000:00:14.0-usb-0:10:1.0-port0",
                           "3 sim:held, simulated port",
                           "4 /dev/ttyS0, 16550A UART",
                           "5 /dev/ttyUSB2",
                           "6 /unplugged is not a usable serial port: it does not exist.",
                           "7 /sys/class/tty/ttyS0/type is not a usable serial port: it is a "
                           "regular file, not a device.",
                           "8 no port",
                           "a 2 0403:6001|A10K3ABC|FTDI|FT232R USB UART"};
        QTest::newRow("consoles and a getty's terminal only when named")
            << QStringList{"ttyS0; type=4; active-console", "ttyS1; type=4; console",
                           "ttyUSB0; getty=612", "ttyUSB1"}
            << QStringList{"5=@/dev/ttyS1"}
            << QStringList{
                   "1 no port: /dev/ttyS0 would be here; system console: not numbered; "
                   "`--port 1=/dev/ttyS0` tests it anyway",
                   "2 /dev/ttyUSB1",
                   "3 no port",
                   "5 /dev/ttyS1, 16550A UART, system console",
                   "w /dev/ttyS0 system console",
                   "w /dev/ttyUSB0 controlling terminal of agetty, PID 612"};
        QTest::newRow("the holder named, and a service how to stop it")
            << QStringList{"ttyUSB0; locked-by=ModemManager|1"} << QStringList{}
            << QStringList{
                   "1 /dev/ttyUSB0, in use by ModemManager, PID 1. ModemManager is the "
                   "desktop's modem service; it probes new serial adapters for a modem. "
                   "To keep it off /dev/ttyUSB0, add a udev rule setting "
                   "ENV{ID_MM_DEVICE_IGNORE}=\"1\" for the adapter, or stop it with "
                   "\"systemctl stop ModemManager\"."};
        QStringList eighteen;
        for (int n = 0; n < 18; ++n)
            eighteen << QString("ttyUSB%1").arg(n);
        QTest::newRow("more devices than numbers")
            << eighteen << QStringList{}
            << QStringList{"16 /dev/ttyUSB15", "- /dev/ttyUSB16", "- /dev/ttyUSB17"};
    }
    void numbersReachTheDevicesPresent() {
        QFETCH(QStringList, devices);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);
        FakeSerialTree tree;
        QVERIFY(tree.ok());
        for (const QString& device : devices)
            QVERIFY2(tree.add(device), qPrintable(device));
        PortMap map;
        for (const QString& entry : entries)
            QCOMPARE(addPortEntry(map, QString(entry).replace('@', tree.root())), QString());
        const MappedDeviceOpener opener(map, std::make_shared<SystemSerialPorts>(tree.folders()));

        const QStringList reached = opener.describe(PortNumbers::kFirst, PortNumbers::kLast);
        QStringList left;
        const PortNumbering numbering = opener.numbering();
        for (const FoundSerialDevice& device : numbering.unnumbered())
            left << device.path;
        QStringList withheld;
        for (const FoundSerialDevice& device : numbering.withheld())
            withheld << "w " + QString(device.path).remove(tree.root()) + ' ' + device.withheld;
        for (const QString& line : expected) {
            if (line.startsWith("a ")) {
                const AdapterFacts& f = numbering.deviceAt(line.section(' ', 1, 1).toInt())->facts;
                const QStringList facts{f.vendorId + ':' + f.productId, f.serialNumber,
                                        f.manufacturer, f.product};
                QCOMPARE(facts.join('|'), line.section(' ', 2));
                continue;
            }
            if (line.startsWith("w ")) {
                QCOMPARE(withheld.takeFirst(), line);
                continue;
            }
            const QString number = line.section(' ', 0, 0), text = line.section(' ', 1);
            const QString seen = number == "-" ? left.value(0) : reached.value(number.toInt() - 1);
            QCOMPARE(QString(seen).remove(tree.root()), text);
            if (number == "-")
                left.removeFirst();
        }
        QVERIFY(left.isEmpty() && withheld.isEmpty());
    }

    void numbersFollowDevicesPluggedInAndPulledOut() {
        FakeSerialTree tree;
        QVERIFY(tree.ok() && tree.add("ttyUSB0; by-path=pci-0000:00:14.0-usb-0:1:1.0-port0"));
        MappedDeviceOpener opener(PortMap{}, std::make_shared<SystemSerialPorts>(tree.folders()));
        const auto reached = [&] {
            return opener.describe(1, 2)
                .replaceInStrings(tree.root(), "")
                .replaceInStrings(QRegularExpression(", /dev/serial/by-path/.*"), "");
        };
        QCOMPARE(reached(), QStringList({"/dev/ttyUSB0", "no port"}));

        QVERIFY(tree.add("ttyACM0; by-path=pci-0000:00:14.0-usb-0:2:1.0"));
        QCOMPARE(reached(), QStringList({"/dev/ttyUSB0", "/dev/ttyACM0"}));
        QVERIFY(tree.remove("ttyACM0"));
        QCOMPARE(reached(), QStringList({"/dev/ttyUSB0", "no port"}));
        const CommError e = errorOf([&] {
            NullSink sink;
            opener.open(2, OpenRequest{}, sink);
        });
        QCOMPARE(e.number(), CommErrors::InvalidPortNumber);
        QVERIFY2(e.description().contains("Com 2"), qPrintable(e.description()));
    }

    // Steps: "+DEVICE" plugs in, "-NAME" pulls out, "open N" tries port N, "look N" asks
    // whether N reaches a device (as the status poll does), "N text" is what N reaches then
    // ("..." at its end: the rest is not compared).
    void anOpenedAdapterKeepsItsNumberWhileAway_data() {
        QTest::addColumn<QStringList>("steps");
        const QString a = "ttyUSB0; usb=FTDI|FT232R USB UART|A1; socket=1-2";
        const QString kept = "1 no port: kept for FTDI FT232R USB UART, serial A1, which is away";
        QTest::newRow("known by its serial number in any socket, back on its number")
            << QStringList{
                   "+" + a,    "open 1",
                   "-ttyUSB0", "+ttyUSB1; usb=FTDI|FT232R USB UART|B2",
                   kept,       "2 /dev/ttyUSB1, FTDI FT232R USB UART, serial B2",
                   "open 1",   "+ttyUSB2; usb=FTDI|FT232R USB UART|A1; socket=1-4",
                   "open 1",   "1 /dev/ttyUSB2, FTDI FT232R USB UART, serial A1; back since ...",
                   "3 no port"};
        QTest::newRow("seen away by a look alone, back since its next open") << QStringList{
            "+" + a,    "open 1",
            "-ttyUSB0", "look 1",
            "+" + a,    "look 1",
            "open 1",   "1 /dev/ttyUSB0, FTDI FT232R USB UART, serial A1; back since ..."};
        QTest::newRow("another serial number in its socket is another adapter")
            << QStringList{"+" + a,    "open 1",
                           "-ttyUSB0", "+ttyUSB0; usb=FTDI|FT232R USB UART|B2; socket=1-2",
                           kept,       "2 /dev/ttyUSB0, FTDI FT232R USB UART, serial B2"};
        const QString ch = "; usb=QinHeng|USB Serial|; socket=1-";
        QTest::newRow("without a serial number, known by its socket")
            << QStringList{"+ttyUSB0" + ch + "2",
                           "open 1",
                           "-ttyUSB0",
                           "+ttyUSB1" + ch + "3",
                           "1 no port: kept for QinHeng USB Serial, which is away",
                           "-ttyUSB1",
                           "+ttyUSB2" + ch + "2",
                           "1 /dev/ttyUSB2, QinHeng USB Serial"};
    }
    void anOpenedAdapterKeepsItsNumberWhileAway() {
        QFETCH(QStringList, steps);
        FakeSerialTree tree;
        MappedDeviceOpener opener(PortMap{}, std::make_shared<SystemSerialPorts>(tree.folders()));
        for (const QString& step : steps) {
            const short port = step.section(' ', 0, 0).toShort();
            if (step.startsWith('+') || step.startsWith('-'))
                QVERIFY2(step[0] == '+' ? tree.add(step.mid(1)) : tree.remove(step.mid(1)),
                         qPrintable(step));
            else if (step.startsWith("open "))
                openErrorOf(opener, step.mid(5).toShort());
            else if (step.startsWith("look "))
                opener.reaches(step.mid(5).toShort());
            else {
                const QString text = step.section(' ', 1);
                QString seen = opener.describe(port, port)[0].remove(tree.root());
                if (text.endsWith("..."))
                    seen.truncate(text.size() - 3);
                QCOMPARE(seen, QString(text).remove("..."));
            }
        }
    }

    void variantEntryPicksThatSimulation() {
        PortMap map;
        addPortEntry(map, "1=sim");
        addPortEntry(map, "2=sim:absent");
        addPortEntry(map, "3=sim:held");
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
        QTest::newRow("control character in the path") << "1=/dev/tty\nUSB0\x1b[2J"
                                                       << "/dev/tty\\nUSB0\\x1b[2J";
    }
    void refusesBadEntries() {
        QFETCH(QString, entry);
        QFETCH(QString, mentions);
        PortMap map;
        const QString error = addPortEntry(map, entry);
        QVERIFY2(error.contains(mentions), qPrintable(error));
        QVERIFY(!hasControlCharacter(error));
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
