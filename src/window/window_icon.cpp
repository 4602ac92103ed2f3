#include "window_icon.h"

#include <QDirIterator>

QIcon makeWindowIcon() {
    QIcon icon;
    // Each file holds one size; QIcon reads the size from the file.
    QDirIterator pngs(QStringLiteral(":/window-icon"), {QStringLiteral("*.png")}, QDir::Files,
                      QDirIterator::Subdirectories);
    while (pngs.hasNext())
        icon.addFile(pngs.next());
    return icon;
}
