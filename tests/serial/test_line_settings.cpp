#include <QTest>

#include "line_settings.h"

using Parity = LineSettings::Parity;
using StopBits = LineSettings::StopBits;

class TestLineSettings : public QObject {
    Q_OBJECT

private slots:
    void parsesValidTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("baud");
        QTest::addColumn<Parity>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<StopBits>("stopBits");
        QTest::addColumn<QString>("canonical");
        QTest::addColumn<double>("bitsPerCharacter");

        QTest::newRow("tester's own")
            << "9600,n,8,1" << 9600 << Parity::None << 8 << StopBits::One << "9600,n,8,1" << 10.0;
        QTest::newRow("upper case")
            << "9600,N,8,1" << 9600 << Parity::None << 8 << StopBits::One << "9600,n,8,1" << 10.0;
        QTest::newRow("blanks around fields") << " 19200 , E , 7 , 2 " << 19200 << Parity::Even << 7
                                              << StopBits::Two << "19200,e,7,2" << 11.0;
        QTest::newRow("odd") << "300,o,8,1" << 300 << Parity::Odd << 8 << StopBits::One
                             << "300,o,8,1" << 11.0;
        QTest::newRow("mark") << "1200,m,7,1" << 1200 << Parity::Mark << 7 << StopBits::One
                              << "1200,m,7,1" << 10.0;
        QTest::newRow("space") << "2400,S,6,2" << 2400 << Parity::Space << 6 << StopBits::Two
                               << "2400,s,6,2" << 10.0;
        QTest::newRow("one and a half stop bits") << "110,n,5,1.5" << 110 << Parity::None << 5
                                                  << StopBits::OneAndHalf << "110,n,5,1.5" << 7.5;
        QTest::newRow("fastest") << "2000000,n,8,1" << 2000000 << Parity::None << 8 << StopBits::One
                                 << "2000000,n,8,1" << 10.0;
    }
    void parsesValidTexts() {
        QFETCH(QString, text);
        QFETCH(int, baud);
        QFETCH(Parity, parity);
        QFETCH(int, dataBits);
        QFETCH(StopBits, stopBits);
        QFETCH(QString, canonical);
        QFETCH(double, bitsPerCharacter);

        const auto parsed = LineSettings::parse(text);
        QVERIFY(parsed);
        QCOMPARE(parsed->baud, baud);
        QCOMPARE(parsed->parity, parity);
        QCOMPARE(parsed->dataBits, dataBits);
        QCOMPARE(parsed->stopBits, stopBits);
        QCOMPARE(parsed->toText(), canonical);
        QCOMPARE(parsed->bitsPerCharacter(), bitsPerCharacter);
        QCOMPARE(LineSettings::parse(parsed->toText()), parsed);
    }

    void refusesBadTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("baud only") << "9600";
        QTest::newRow("three fields") << "9600,n,8";
        QTest::newRow("five fields") << "9600,n,8,1,1";
        QTest::newRow("empty field") << "9600,,8,1";
        QTest::newRow("non-standard baud") << "9601,n,8,1";
        QTest::newRow("zero baud") << "0,n,8,1";
        QTest::newRow("baud not a number") << "fast,n,8,1";
        QTest::newRow("unknown parity") << "9600,x,8,1";
        QTest::newRow("parity word") << "9600,none,8,1";
        QTest::newRow("nine data bits") << "9600,n,9,1";
        QTest::newRow("four data bits") << "9600,n,4,1";
        QTest::newRow("three stop bits") << "9600,n,8,3";
        QTest::newRow("1.5 stop bits with 8 data bits") << "9600,n,8,1.5";
        QTest::newRow("semicolons") << "9600;n;8;1";
    }
    void refusesBadTexts() {
        QFETCH(QString, text);
        QVERIFY(!LineSettings::parse(text));
    }

    void defaultIsTheTestersSetting() { QCOMPARE(LineSettings{}.toText(), QString("9600,n,8,1")); }
};

QTEST_GUILESS_MAIN(TestLineSettings)
#include "test_line_settings.moc"
