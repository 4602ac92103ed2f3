#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "lamp.h"
#include "main_window.h"
#include "window_picture.h"

class WindowPictureTest : public QObject {
    Q_OBJECT

private slots:
    void screenshotHasOnePixelPer15Twips() {
        MainWindow window(nullptr, nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTemporaryDir dir;
        const QString path = dir.filePath("window.png");
        QVERIFY(saveClientAreaPng(window, path));
        QImage image(path);
        QCOMPARE(image.size(), QSize(441, 420));
        const QPoint lampCentre = window.findChild<Lamp*>("shpIndicator_0")->geometry().center();
        if (window.logicalDpiX() == 96 && window.logicalDpiY() == 96)
            QCOMPARE(image.pixelColor(lampCentre), QColor(0, 64, 64));
    }

    void aBoxOpenOverTheWindowIsInItsPicture() {
        MainWindow window(nullptr, nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QMessageBox box(QMessageBox::NoIcon, "Quillmark", "Com 1 is not a valid port.",
                        QMessageBox::Ok, &window);
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QImage picture = clientAreaPicture(window);
        const QPoint okButton = box.button(QMessageBox::Ok)->geometry().center();
        const QPoint inWindow = box.mapToGlobal(okButton) - window.mapToGlobal(QPoint(0, 0));
        if (window.logicalDpiX() == 96 && window.logicalDpiY() == 96)
            QCOMPARE(picture.pixelColor(inWindow), box.grab().toImage().pixelColor(okButton));
    }
};

QTEST_MAIN(WindowPictureTest)
#include "test_window_picture.moc"
