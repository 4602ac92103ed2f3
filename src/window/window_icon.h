#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <future>

// The window's icon: the PNG files the package installs into the icon theme, up to 128 px,
// from the program's resources. Reading starts when this is made, so that the window
// can build its elements meanwhile; `icon()` gives it, on the window's thread.
class WindowIconReader {
public:
    WindowIconReader();
    QIcon icon();

private:
#ifndef _WIN32  // Windows reads the files itself when it first needs them
    std::future<QList<QImage>> images_;
#endif
};
