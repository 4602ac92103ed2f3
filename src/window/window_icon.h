#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

// The window's icon: the PNG files the package installs into the icon theme, every size of
// them, from the program's resources.

// Decodes the files; safe on any thread, so that the window can build its elements meanwhile.
QList<QImage> readWindowIconImages();
// The icon of the decoded files, on the window's thread.
QIcon windowIconFrom(const QList<QImage>& images);
