#include <QTest>

#include "comm_event.h"
#include "event_history.h"
#include "event_queue.h"

class TestEventQueue : public QObject {
    Q_OBJECT

private slots:
    void keepsOrderAndWakesOnlyWhenEmpty() {
        EventQueue queue(10);
        QVERIFY(queue.push({CommEvents::CtsChanged, 0}));
        QVERIFY(!queue.push({CommEvents::CdChanged, 0}));
        QCOMPARE(queue.pop()->code, CommEvents::CtsChanged);
        QCOMPARE(queue.pop()->code, CommEvents::CdChanged);
        QVERIFY(!queue.pop());
        QVERIFY(queue.push({CommEvents::Ring, 0}));
    }

    void countsWhatItDropsButKeepsLossMarkers() {
        EventQueue queue(2);
        queue.push({CommEvents::CtsChanged, 0});
        queue.push({CommEvents::DsrFell, 0});
        QVERIFY(!queue.push({CommEvents::CdChanged, 0}));
        QVERIFY(!queue.push({CommEvents::Ring, 0}));
        QCOMPARE(queue.dropped(), 2u);
        queue.push({0, 7});  // the device-lost marker goes in regardless
        QCOMPARE(queue.size(), std::size_t(3));
        queue.pop();
        queue.pop();
        QCOMPARE(queue.pop()->lostGeneration, 7u);

        queue.push({CommEvents::CtsChanged, 0});
        queue.clear();
        QCOMPARE(queue.size(), std::size_t(0));
        QCOMPARE(queue.dropped(), 2u);  // a running total, not reset by clearing
    }

    void theHistoryKeepsTheNewestAndCountsTheRest() {
        constexpr std::size_t kKept = EventHistory::kCapacity;
        constexpr std::size_t kFlood = kKept * 5 / 2;
        EventHistory history;
        std::size_t bytesWhenFull = 0;
        for (std::size_t i = 0; i < kFlood; ++i) {
            history.add(short(i % 1000), EventStamp{});
            if (i + 1 == kKept)
                bytesWhenFull = history.memoryBytes();
        }
        QCOMPARE(history.size(), kKept);
        QCOMPARE(history.dropped(), quint64(kFlood - kKept));
        QCOMPARE(history.memoryBytes(), bytesWhenFull);  // flat under the flood
        QCOMPARE(history.at(0).code, short((kFlood - kKept) % 1000));
        QCOMPARE(history.snapshot().back().code, short((kFlood - 1) % 1000));
        history.restart(EventStamp::now());
        QCOMPARE(history.size(), std::size_t(0));
        QCOMPARE(history.dropped(), 0u);
    }
};

QTEST_GUILESS_MAIN(TestEventQueue)
#include "test_event_queue.moc"
