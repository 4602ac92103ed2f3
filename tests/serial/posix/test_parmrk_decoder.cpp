#include <QTest>

#include "parmrk_decoder.h"

using Mark = ParmrkDecoder::Mark;

namespace {

struct Decoded {
    QByteArray data;
    std::vector<Mark> marks;
};

// Feeds `input` in pieces cut at the given offsets, as successive reads would deliver it.
Decoded decodeInPieces(const QByteArray& input, const std::vector<qsizetype>& cuts = {}) {
    ParmrkDecoder decoder;
    Decoded out;
    qsizetype from = 0;
    std::vector<qsizetype> ends = cuts;
    ends.push_back(input.size());
    for (const qsizetype to : ends) {
        decoder.decode(input.constData() + from, to - from, out.data, out.marks);
        from = to;
    }
    return out;
}

}  // namespace

class TestParmrkDecoder : public QObject {
    Q_OBJECT

private slots:
    void resolvesEachMarker_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("breaks");
        QTest::addColumn<int>("badBytes");

        QTest::newRow("plain") << QByteArray("Loopback") << QByteArray("Loopback") << 0 << 0;
        QTest::newRow("break removed")
            << QByteArray("ab\xFF\0\0cd", 7) << QByteArray("abcd") << 1 << 0;
        QTest::newRow("bad byte replaced")
            << QByteArray("a\xFF\0Zb", 5) << QByteArray("a?b") << 0 << 1;
        QTest::newRow("escaped FF") << QByteArray(
                                           "a\xFF\xFF"
                                           "b")
                                    << QByteArray(
                                           "a\xFF"
                                           "b")
                                    << 0 << 0;
        QTest::newRow("bad FF byte") << QByteArray("\xFF\0\xFF", 3) << QByteArray("?") << 0 << 1;
        QTest::newRow("stray escape kept") << QByteArray(
                                                  "\xFF"
                                                  "A")
                                           << QByteArray(
                                                  "\xFF"
                                                  "A")
                                           << 0 << 0;
        QTest::newRow("plain zero bytes")
            << QByteArray("\0\0", 2) << QByteArray("\0\0", 2) << 0 << 0;
    }

    void resolvesEachMarker() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, data);
        QFETCH(int, breaks);
        QFETCH(int, badBytes);

        const Decoded out = decodeInPieces(input);
        QCOMPARE(out.data, data);
        QCOMPARE(std::count(out.marks.begin(), out.marks.end(), Mark::Break), breaks);
        QCOMPARE(std::count(out.marks.begin(), out.marks.end(), Mark::BadByte), badBytes);
    }

    void keepsMarkersInArrivalOrder() {
        const Decoded out = decodeInPieces(QByteArray("\xFF\0X\xFF\0\0\xFF\0Y", 9));
        QCOMPARE(out.data, QByteArray("??"));
        QCOMPARE(out.marks, (std::vector<Mark>{Mark::BadByte, Mark::Break, Mark::BadByte}));
    }

    // Reads may end inside a marker; every split point must give the same result.
    void markerSplitAcrossReads() {
        const QByteArray input("x\xFF\0\0y\xFF\xFFz\xFF\0Qw", 12);
        const Decoded whole = decodeInPieces(input);
        QCOMPARE(whole.data, QByteArray("xy\xFFz?w"));
        QCOMPARE(whole.marks, (std::vector<Mark>{Mark::Break, Mark::BadByte}));

        for (qsizetype cut = 0; cut <= input.size(); ++cut) {
            const Decoded split = decodeInPieces(input, {cut});
            QVERIFY2(split.data == whole.data, qPrintable(QString("split at %1").arg(cut)));
            QVERIFY2(split.marks == whole.marks, qPrintable(QString("split at %1").arg(cut)));
        }

        std::vector<qsizetype> everyByte;
        for (qsizetype i = 1; i < input.size(); ++i)
            everyByte.push_back(i);
        const Decoded bytewise = decodeInPieces(input, everyByte);
        QCOMPARE(bytewise.data, whole.data);
        QCOMPARE(bytewise.marks, whole.marks);
    }
};

QTEST_GUILESS_MAIN(TestParmrkDecoder)
#include "test_parmrk_decoder.moc"
