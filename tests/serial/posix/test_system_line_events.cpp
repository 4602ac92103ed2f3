#include <QTest>

#include "comm_event.h"
#include "line_means.h"
#include "system_line_events.h"

Q_DECLARE_METATYPE(LineMeans)

using Counters = LineSnapshot::Counters;
using Levels = LineSnapshot::Levels;

namespace {

LineSnapshot snapshot(const Counters& counters, const Levels& levels) {
    return {true, counters, true, levels};
}

LineSnapshot levelsOnly(const Levels& levels) {
    return {false, {}, true, levels};
}

LineSnapshot countersOnly(const Counters& counters) {
    return {true, counters, false, {}};
}

std::vector<short> eventsBetween(const LineSnapshot& before, const LineSnapshot& after) {
    LineEventTracker tracker(before);
    std::vector<short> events;
    tracker.update(after, events);
    return events;
}

std::vector<short> times(short code, int n) {
    return std::vector<short>(n, code);
}

}  // namespace

class TestSystemLineEvents : public QObject {
    Q_OBJECT

private slots:
    void edgesFromCountsAndLevels_data() {
        QTest::addColumn<int>("counted");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::addColumn<int>("edges");
        QTest::addColumn<int>("fallsFromBefore");

        QTest::newRow("quiet") << 0 << false << false << 0 << 0;
        QTest::newRow("uncounted rise") << 0 << false << true << 1 << 0;
        QTest::newRow("uncounted fall") << 0 << true << false << 1 << 1;
        QTest::newRow("one fall") << 1 << true << false << 1 << 1;
        QTest::newRow("one rise") << 1 << false << true << 1 << 0;
        QTest::newRow("pulse low") << 2 << true << true << 2 << 1;
        QTest::newRow("pulse high") << 2 << false << false << 2 << 1;
        QTest::newRow("three from high") << 3 << true << false << 3 << 2;
        QTest::newRow("three from low") << 3 << false << true << 3 << 1;
        // A short pulse that the UART merged into one count: the missing edge is restored.
        QTest::newRow("merged pulse low") << 1 << true << true << 2 << 1;
        QTest::newRow("merged pulse high") << 1 << false << false << 2 << 1;
    }

    void edgesFromCountsAndLevels() {
        QFETCH(int, counted);
        QFETCH(bool, before);
        QFETCH(bool, after);
        QFETCH(int, edges);
        QFETCH(int, fallsFromBefore);

        const auto e = LineEventTracker::edges(counted, before, after);
        QCOMPARE(int(e), edges);
        QCOMPARE(int(LineEventTracker::falls(e, before)), fallsFromBefore);
    }

    void ctsAndCdRaiseOnePerEdge() {
        const auto events =
            eventsBetween(snapshot({}, {}), snapshot({.cts = 3, .dcd = 2}, {.cts = true}));
        std::vector<short> expected = times(CommEvents::CtsChanged, 3);
        const auto cd = times(CommEvents::CdChanged, 2);
        expected.insert(expected.end(), cd.begin(), cd.end());
        QCOMPARE(events, expected);
    }

    void dsrRaisesOnlyFalls() {
        QCOMPARE(eventsBetween(levelsOnly({.dsr = false}), levelsOnly({.dsr = true})),
                 std::vector<short>{});
        QCOMPARE(eventsBetween(levelsOnly({.dsr = true}), levelsOnly({.dsr = false})),
                 times(CommEvents::DsrFell, 1));
        QCOMPARE(eventsBetween(snapshot({.dsr = 10}, {.dsr = true}),
                               snapshot({.dsr = 14}, {.dsr = true})),
                 times(CommEvents::DsrFell, 2));
    }

    void ringsFromCounterOrRisingLevel() {
        QCOMPARE(eventsBetween(snapshot({}, {}), snapshot({.rng = 2}, {})),
                 times(CommEvents::Ring, 2));
        QCOMPARE(eventsBetween(levelsOnly({}), levelsOnly({.ring = true})),
                 times(CommEvents::Ring, 1));
        QCOMPARE(eventsBetween(levelsOnly({.ring = true}), levelsOnly({})), std::vector<short>{});
        // Counted at its end: a ring seen high on the way is not one more.
        const LineSnapshot ringing = snapshot({}, {.ring = true});
        QCOMPARE(eventsBetween(snapshot({}, {}), ringing), std::vector<short>{});
        QCOMPARE(eventsBetween(ringing, snapshot({.rng = 1}, {})), times(CommEvents::Ring, 1));
    }

    void errorsFromCountersInFixedOrder() {
        const Counters errors{.frame = 1, .parity = 2, .overrun = 1, .brk = 1, .bufOverrun = 1};
        std::vector<short> expected{CommEvents::Break,   CommEvents::Framing,
                                    CommEvents::Overrun, CommEvents::ReceiveOverflow,
                                    CommEvents::Parity,  CommEvents::Parity};
        QCOMPARE(eventsBetween(snapshot({}, {}), snapshot(errors, {})), expected);
    }

    void linesBeforeErrors() {
        const auto events = eventsBetween(snapshot({}, {.dsr = true}),
                                          snapshot({.cts = 1, .brk = 1}, {.cts = true}));
        QCOMPARE(events, (std::vector<short>{CommEvents::CtsChanged, CommEvents::DsrFell,
                                             CommEvents::Break}));
    }

    void countersWithoutLevelsTakenAsCounted() {
        QCOMPARE(eventsBetween(countersOnly({}), countersOnly({.cts = 1, .dsr = 1})),
                 (std::vector<short>{CommEvents::CtsChanged, CommEvents::DsrFell}));
    }

    void nothingWithoutCountersOrLevels() {
        QCOMPARE(eventsBetween(LineSnapshot{}, LineSnapshot{}), std::vector<short>{});
    }

    void keepsTrackAcrossUpdates() {
        LineEventTracker tracker(snapshot({}, {}));
        std::vector<short> events;
        tracker.update(snapshot({.cts = 1}, {.cts = true}), events);
        tracker.update(snapshot({.cts = 1}, {.cts = true}), events);
        tracker.update(snapshot({.cts = 2}, {}), events);
        QCOMPARE(events, times(CommEvents::CtsChanged, 2));
    }

    // A look where one ioctl failed must neither invent edges nor lose the baseline.
    void incompleteLookSkipped() {
        LineEventTracker tracker(snapshot({.cts = 5}, {}));
        std::vector<short> events;
        tracker.update(levelsOnly({.cts = true}), events);
        QVERIFY(events.empty());
        tracker.update(snapshot({.cts = 6}, {.cts = true}), events);
        QCOMPARE(events, times(CommEvents::CtsChanged, 1));
    }

    // A driver whose counters never move: the lines it does not count go by their levels.
    void uncountedLinesGoByTheirLevels() {
        LineEventTracker tracker(snapshot({.rng = 4}, {.dsr = true}));
        tracker.setUncounted(LineEventTracker::Dsr | LineEventTracker::Ring);
        std::vector<short> events;
        tracker.update(snapshot({.cts = 1, .dsr = 9, .rng = 9}, {.cts = true, .ring = true}),
                       events);
        QCOMPARE(events, (std::vector<short>{CommEvents::CtsChanged, CommEvents::DsrFell,
                                             CommEvents::Ring}));
    }

    void gradesFromTheDriversMeans_data() {
        QTest::addColumn<LineMeans>("means");
        QTest::addColumn<int>("reportMs");
        QTest::addColumn<QString>("words");

        const QString everyEdge = "every edge, counted by the driver";
        QTest::newRow("16550") << LineMeans{true, true, true, true} << 0 << everyEdge;
        QTest::newRow("FTDI") << LineMeans{true, true, true, true} << 1
                              << "every change the driver reports (every 1 ms), pulses between "
                                 "its reports may merge";
        QTest::newRow("no counters") << LineMeans{true, true, true, false} << 0
                                     << "every change the driver reports, pulses between its "
                                        "reports may merge";
        QTest::newRow("no wait") << LineMeans{true, true, false, false} << 0
                                 << "looked at every 20 ms: shorter pulses are missed";
        QTest::newRow("ACM CTS") << LineMeans{false, true, true, false} << 0
                                 << "not wired on this kind of device";
        QTest::newRow("pty") << LineMeans{} << 0 << "not wired on this kind of device";
    }

    void gradesFromTheDriversMeans() {
        QFETCH(LineMeans, means);
        QFETCH(int, reportMs);
        QFETCH(QString, words);
        QCOMPARE(fidelityWords(gradeLine(means, reportMs, 20)), words);
    }

    void counterStepBackIsNoChange() {
        QCOMPARE(eventsBetween(snapshot({.brk = 7}, {}), snapshot({.brk = 2}, {})),
                 std::vector<short>{});
        QCOMPARE(eventsBetween(snapshot({.brk = 0xFFFFFFFFu}, {}), snapshot({.brk = 1}, {})),
                 times(CommEvents::Break, 2));
    }
};

QTEST_GUILESS_MAIN(TestSystemLineEvents)
#include "test_system_line_events.moc"
