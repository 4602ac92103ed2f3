#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include "qt_platform.h"

class TestQtPlatform : public QObject {
    Q_OBJECT

private slots:
    void doEventsRunsWhatIsPendingAndReturns() {
        QtPlatform platform;
        int posted = 0;
        int ticks = 0;
        QMetaObject::invokeMethod(
            this, [&] { ++posted; }, Qt::QueuedConnection);
        QTimer::singleShot(0, this, [&] { ++ticks; });
        platform.DoEvents();
        QCOMPARE(posted, 1);
        QCOMPARE(ticks, 1);
        platform.DoEvents();  // nothing pending: returns at once
        QCOMPARE(posted, 1);
    }

    void sleepBlocksForAtLeastTheTime() {
        QtPlatform platform;
        QElapsedTimer clock;
        clock.start();
        platform.Sleep(20);
        QVERIFY(clock.elapsed() >= 20);
        platform.Sleep(0);
    }
};

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
