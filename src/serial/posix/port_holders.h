#pragma once

#include <sys/types.h>

#include <QString>
#include <vector>

#include "system_folders.h"
#include "tty_users.h"

// Who holds a tty: the live process named in its lock file, then the other processes that
// have it open, each once.
std::vector<TtyUser> portHolders(dev_t device, const QString& deviceName,
                                 const SystemFolders& folders, const TtyUsers& users);

// "in use by picocom, PID 4242", and for a service known to grab adapters what it is and how
// to keep it off `path`; empty when nobody holds it.
QString heldByText(const std::vector<TtyUser>& holders, const QString& path);

// For a device that vanished within a second of being plugged in, as one does when such a
// service takes it: what those services are and how to keep them off `path`.
QString newAdapterAdvice(const QString& path);
