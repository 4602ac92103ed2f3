#include "window_icon.h"

#include <QDirIterator>
#include <QImageReader>
#include <QPixmap>

QList<QImage> readWindowIconImages() {
    QList<QImage> images;
    // Each file holds one size. Read as PNG without guessing: a guess asks every image
    // format plugin, which loads each of them and the libraries they use.
    QDirIterator pngs(QStringLiteral(":/window-icon"), {QStringLiteral("*.png")}, QDir::Files,
                      QDirIterator::Subdirectories);
    while (pngs.hasNext()) {
        QImageReader reader(pngs.next(), "png");
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
