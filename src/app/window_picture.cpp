#include "window_picture.h"

#include <cmath>

#include "main_window.h"

namespace {
constexpr double kTwipsPerDesignPixel = 15.0;
}

QImage clientAreaPicture(MainWindow& window) {
    QImage image = window.grab().toImage();
    image.setDevicePixelRatio(1.0);
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
