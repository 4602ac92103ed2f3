#include "window_icon.h"

#include <QDirIterator>
#include <QImageReader>
#include <QPixmap>

QList<QImage> readWindowIconImages() {
    QList<QImage> images;
    // Each file holds one size. Read as PNG without guessing: a guess asks every image
    // format plugin, which loads each of them and the libraries they use. Picked by suffix
    // rather than a name filter, which is a regular expression: this runs on a worker
    // thread, and on Windows the expression engine's per-thread stack crashes its exit.
    QDirIterator files(QStringLiteral(":/window-icon"), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (!path.endsWith(QLatin1String(".png")))
            continue;
        QImageReader reader(path, "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            images.append(image);
    }
    return images;
}

QIcon windowIconFrom(const QList<QImage>& images) {
    QIcon icon;
    for (const QImage& image : images)
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}
