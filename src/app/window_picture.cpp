#include "window_picture.h"

#include <QApplication>
#include <QPainter>
#include <cmath>

#include "main_window.h"

namespace {
constexpr double kTwipsPerDesignPixel = 15.0;
}

namespace {

// A message box open over the window belongs in its picture, as the user sees it there.
void paintOpenBoxes(MainWindow& window, QImage& image) {
    QPainter painter(&image);
    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == &window || !top->isVisible() || !top->isModal())
            continue;
        painter.drawImage(top->mapToGlobal(QPoint(0, 0)) - origin, top->grab().toImage());
    }
}

}  // namespace

QImage clientAreaPicture(MainWindow& window) {
    QImage image = window.grab().toImage();
    image.setDevicePixelRatio(1.0);
    paintOpenBoxes(window, image);
    const TwipScale& scale = window.twipScale();
    const QSize designSize(
        static_cast<int>(std::lround(scale.toTwipsX(window.width()) / kTwipsPerDesignPixel)),
        static_cast<int>(std::lround(scale.toTwipsY(window.height()) / kTwipsPerDesignPixel)));
    if (image.size() != designSize)
        image = image.scaled(designSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

bool saveClientAreaPng(MainWindow& window, const QString& path) {
    return clientAreaPicture(window).save(path, "PNG");
}
