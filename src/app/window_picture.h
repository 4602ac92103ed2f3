#pragma once

#include <QImage>
#include <QString>

class MainWindow;

// The window's client area as its designers drew it: one pixel per 15 twips, whatever the
// screen's resolution, with any message box open over it.
QImage clientAreaPicture(MainWindow& window);
bool saveClientAreaPng(MainWindow& window, const QString& path);
