#include "window_icon.h"

#include <QDirIterator>
#include <QImageReader>
#include <QPixmap>

namespace {

QStringList iconFiles() {
    QStringList files;
    // Picked by suffix rather than by a name filter, which is a regular expression: on
    // Windows the expression engine's per-thread stack crashes the exit of a worker thread.
    QDirIterator found(QStringLiteral(":/window-icon"), QDir::Files, QDirIterator::Subdirectories);
    while (found.hasNext()) {
        const QString path = found.next();
        if (path.endsWith(QLatin1String(".png")))
            files << path;
    }
    return files;
}

}  // namespace

#ifdef _WIN32
// Windows takes the files as they are, read when first needed: built from images decoded
// beforehand, the program crashed in the system's library under Wine with a port open, which
// the window's tests never did.
WindowIconReader::WindowIconReader() = default;

QIcon WindowIconReader::icon() {
    QIcon icon;
    for (const QString& path : iconFiles())
        icon.addFile(path);
    return icon;
}
#else
namespace {

// Each file holds one size. Read as PNG without guessing: a guess asks every image format
// plugin, which loads each of them and the libraries they use.
QList<QImage> decodeIconFiles() {
    QList<QImage> images;
    for (const QString& path : iconFiles()) {
        QImageReader reader(path, "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            images.append(image);
    }
    return images;
}

}  // namespace

WindowIconReader::WindowIconReader() : images_(std::async(std::launch::async, decodeIconFiles)) {}

QIcon WindowIconReader::icon() {
    QIcon icon;
    for (const QImage& image : images_.get())
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}
#endif
