#pragma once

#include <QIcon>
#include <QPixmap>

// The window's icon: a nine-pin serial connector with a lit lamp, 32 x 32 pixels.
QPixmap drawWindowIconPixmap();
QIcon makeWindowIcon();
