#pragma once

#include <QSet>
#include <QString>

// The ttys the kernel writes its console to, by name ("ttyS0"), from sysfs
// (class/tty/console/active) and /proc/consoles. A tty's own sysfs `console` attribute
// says the same of one tty; SystemPortScan reads it with the rest of the entry.
QSet<QString> kernelConsoles(const QString& sysRoot, const QString& procRoot);
