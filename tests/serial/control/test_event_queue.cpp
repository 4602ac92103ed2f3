#include <QTest>

#include "comm_event.h"
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
};

QTEST_GUILESS_MAIN(TestEventQueue)
#include "test_event_queue.moc"
