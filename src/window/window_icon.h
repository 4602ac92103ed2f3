#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <future>

// The window's icon: the PNG files the package installs into the icon theme, every size of
// them, from the program's resources. Reading starts when this is made, so that the window
// can build its elements meanwhile; `icon()` gives it, on the window's thread.
class WindowIconReader {
public:
    WindowIconReader();
    QIcon icon();

private:
    std::future<QList<QImage>> images_;
};
