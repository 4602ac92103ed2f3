#include <QElapsedTimer>
#include <QPushButton>
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

    // Input and painting that are due when a wait starts are served during it, not after.
    void aWaitServesClicksAndRepaints() {
        struct CountingButton : QPushButton {
            int paints = 0;
            void paintEvent(QPaintEvent* event) override {
                ++paints;
                QPushButton::paintEvent(event);
            }
        } button;
        button.resize(80, 30);
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        bool waiting = false;
        int clicksDuringWait = 0;
        connect(&button, &QPushButton::clicked, this, [&] { clicksDuringWait += waiting; });
        const QPointF middle(40, 15);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                &button, new QMouseEvent(type, middle, button.mapToGlobal(middle), Qt::LeftButton,
                                         Qt::LeftButton, Qt::NoModifier));
        const int paintsBefore = button.paints;
        button.update();

        QtPlatform platform;
        waiting = true;
        platform.Sleep(50);
        waiting = false;
        QCOMPARE(clicksDuringWait, 1);
        QVERIFY(button.paints > paintsBefore);
    }

    // Last: once the application exits, every later event loop ends at once.
    void aWaitEndsWhenTheApplicationExits() {
        QtPlatform platform;
        QTimer::singleShot(10, [] { QCoreApplication::exit(0); });
        QElapsedTimer clock;
        clock.start();
        platform.Sleep(5000);
        qInfo("the 5000 ms wait ended after %lld ms", clock.elapsed());
    }
};

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
