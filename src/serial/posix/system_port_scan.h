#pragma once

#include <sys/types.h>

#include <QString>
#include <QStringList>
#include <vector>

#include "found_serial_device.h"
#include "port_source.h"
#include "system_folders.h"

// Finds the serial devices from sysfs and /dev/serial alone, opening none of them: every tty
// with a device behind it, except the native UARTs that have no chip fitted (sysfs type 0,
// the legacy ports a PC's driver registers whether or not they exist). A kernel console, or a
// tty that a process has as its controlling terminal (a getty), is found but withheld: opening
// it would write into the console or under a login.
class SystemPortScan {
public:
    explicit SystemPortScan(SystemFolders folders = {}) : folders_(std::move(folders)) {}

    // In the order of their names; with their holders named unless skipped.
    std::vector<FoundSerialDevice> devices(
        SystemPorts::Holders holders = SystemPorts::Holders::Named) const;
    // The identities of the USB adapters present, from sysfs alone: no look at who uses them.
    QStringList adapters() const;

private:
    SystemFolders folders_;
};
