#include <QtTest>

#include "lamp.h"

namespace {

QImage paintedOnWhite(Lamp& lamp) {
    QWidget parent;
    parent.setAutoFillBackground(true);
    parent.setPalette(QPalette(Qt::white));
    parent.resize(40, 40);
    lamp.setParent(&parent);
    lamp.show();
    const QImage image = parent.grab(lamp.geometry()).toImage();
    lamp.setParent(nullptr);
    return image;
}

}  // namespace

class TestLamp : public QObject {
    Q_OBJECT

private slots:
    // Red is the low byte of the 0x00BBGGRR value.
    void valuesMapToColours() {
        QCOMPARE(Lamp::toQColor(65280), QColor(0, 255, 0));
        QCOMPARE(Lamp::toQColor(255), QColor(255, 0, 0));
        QCOMPARE(Lamp::toQColor(0x404000), QColor(0, 64, 64));
        QCOMPARE(Lamp::toQColor(64), QColor(64, 0, 0));
        QCOMPARE(Lamp::toQColor(0xFF0000), QColor(0, 0, 255));
    }

    void saysHowTheOpenPortSeesItsLine() {
        Lamp lamp(Lamp::Shape::RoundedRectangle, 255);
        lamp.describeAs("CTS", LampMeaning::Line);
        lamp.setSeenAs("every edge, counted by the driver");
        QCOMPARE(lamp.toolTip(), QString("CTS: on\nSeen: every edge, counted by the driver"));
        QCOMPARE(lamp.accessibleDescription(),
                 QString("on; seen: every edge, counted by the driver"));
        lamp.setSeenAs({});  // the port closed
        QCOMPARE(lamp.toolTip(), QString("CTS: on"));
    }

    void backColorReadsBackAsWritten() {
        Lamp lamp(Lamp::Shape::Circle, 64);
        QCOMPARE(lamp.backColor(), 64);
        for (int colour : {65280, 255, 0x404000, 0, 0xFFFFFF}) {
            lamp.setBackColor(colour);
            QCOMPARE(lamp.backColor(), colour);
        }
    }

    void circleFillsItsMiddleButNotItsCorners() {
        Lamp lamp(Lamp::Shape::Circle, 255);
        lamp.setGeometry(5, 5, 18, 18);
        const QImage image = paintedOnWhite(lamp);
        QCOMPARE(image.pixelColor(9, 9), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::white));
        QCOMPARE(image.pixelColor(17, 17), QColor(Qt::white));
    }

    void roundedRectangleFillsAlmostAll() {
        Lamp lamp(Lamp::Shape::RoundedRectangle, 65280);
        lamp.setGeometry(5, 5, 25, 23);
        const QImage image = paintedOnWhite(lamp);
        QCOMPARE(image.pixelColor(12, 11), QColor(0, 255, 0));
        QCOMPARE(image.pixelColor(3, 11), QColor(0, 255, 0));  // straight edges reach far out
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::white));   // the corner is rounded off
    }
};

QTEST_MAIN(TestLamp)
#include "test_lamp.moc"
