#include <QTest>
#include <clocale>
#include <stdexcept>
#include <string>

#include "number_text.h"

using namespace NumberText;

class NumberTextTest : public QObject {
    Q_OBJECT

private slots:
    void leadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("plain") << "41" << 41.0;
        QTest::newRow("blanks first") << "  \t12" << 12.0;
        QTest::newRow("trailing text") << "12abc" << 12.0;
        QTest::newRow("fraction") << "3.4" << 3.4;
        QTest::newRow("point first") << ".5" << 0.5;
        QTest::newRow("negative") << "-7" << -7.0;
        QTest::newRow("plus") << "+8" << 8.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("lone sign") << "-" << 0.0;
        QTest::newRow("lone point") << "." << 0.0;
        QTest::newRow("no exponent") << "1e5" << 1.0;
        QTest::newRow("second point stops") << "1.2.3" << 1.2;
        QTest::newRow("blank inside stops") << "1 2" << 1.0;
        QTest::newRow("non-ascii digit stops") << QString::fromUtf8("٣") << 0.0;
    }
    void leadingNumber() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(NumberText::leadingNumber(text), expected);
    }

    // The program runs in the user's locale; a German one writes "3,4".
    void readsTheSameInADecimalCommaLocale() {
        const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            QSKIP("locale de_DE.UTF-8 is not installed here (tools/install-deps.sh makes it)");
        const double fraction = NumberText::leadingNumber("3.4");
        const double half = NumberText::leadingNumber("1.5");
        std::setlocale(LC_NUMERIC, saved.c_str());
        QCOMPARE(fraction, 3.4);
        QCOMPARE(roundHalfEven(half), 2.0);
    }

    void digitsBeyondADoubleOverflow() {
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, NumberText::leadingNumber(QString(400, '9')));
    }

    void roundsHalfToEven() {
        QCOMPARE(roundHalfEven(2.5), 2.0);
        QCOMPARE(roundHalfEven(3.5), 4.0);
        QCOMPARE(roundHalfEven(-2.5), -2.0);
        QCOMPARE(roundHalfEven(0.4), 0.0);
        QCOMPARE(roundHalfEven(20000.2), 20000.0);
        QCOMPARE(roundHalfEven(2.5000001), 3.0);
    }

    void fitsSixteenAndThirtyTwoBits() {
        QCOMPARE(toInt16(32767.4).value(), short(32767));
        QVERIFY(!toInt16(32767.5));                          // rounds to 32768
        QCOMPARE(toInt16(-32768.5).value(), short(-32768));  // halfway goes to even
        QVERIFY(!toInt16(-32769));
        QCOMPARE(toInt32(2147483647.0).value(), 2147483647);
        QVERIFY(!toInt32(2147483648.0));
        QVERIFY(!toInt32(1e300));
    }

    void formatsGeneralNumbers() {
        QCOMPARE(formatGeneral(1), QString("1"));
        QCOMPARE(formatGeneral(42), QString("42"));
        QCOMPARE(formatGeneral(3.5), QString("3.5"));
        QCOMPARE(formatGeneral(-0.0), QString("0"));
        QCOMPARE(formatGeneral(-3), QString("-3"));
        QCOMPARE(formatGeneral(123456789012345.0), QString("123456789012345"));
        QCOMPARE(formatGeneral(1e15), QString("1E+15"));
        QCOMPARE(formatGeneral(0.1 + 1), QString("1.1"));
    }
};

QTEST_APPLESS_MAIN(NumberTextTest)
#include "test_number_text.moc"
