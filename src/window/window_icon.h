#pragma once

#include <QIcon>

// The window's icon: the PNG files the package installs into the icon theme, every size of
// them, from the program's resources.
QIcon makeWindowIcon();
