#include <QIcon>
#include <QImage>
#include <QtTest>

#include "device_opener.h"
#include "main_window.h"

namespace {

// The window is only built here; nothing asks for a port.
class NoPortOpener : public DeviceOpener {
public:
    std::unique_ptr<SerialDevice> open(short, const OpenRequest&, DeviceEventSink&) override {
        return nullptr;
    }
    QStringList describe(short first, short last) const override {
        return QStringList(last - first + 1, QString());
    }
};

QImage comparable(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

// The window shows the very PNG files that the package installs into the icon theme, up to
// 128 px.
class WindowIconTest : public QObject {
    Q_OBJECT

private slots:
    void eachInstalledSizeIsTheWindowsIcon_data() {
        QTest::addColumn<int>("size");
        for (int size : {16, 32, 48, 64, 128})
            QTest::addRow("%dx%d", size, size) << size;
    }
    void eachInstalledSizeIsTheWindowsIcon() {
        QFETCH(int, size);
        const QString installed = QStringLiteral(QUILLMARK_ICON_THEME_DIR "/%1x%1/apps/%2")
                                      .arg(size)
                                      .arg(QStringLiteral("org.quillmark.Quillmark.png"));
        const QImage expected(installed);
        QVERIFY2(!expected.isNull(), qPrintable(installed));

        MainWindow window(std::make_shared<NoPortOpener>(), nullptr);
        const QIcon icon = window.windowIcon();
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        QCOMPARE(comparable(icon.pixmap(QSize(size, size)).toImage()), comparable(expected));
    }
};

QTEST_MAIN(WindowIconTest)
#include "test_window_icon.moc"
