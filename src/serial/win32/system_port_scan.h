#pragma once

#include <QString>
#include <vector>

#include "found_serial_device.h"
#include "system_folders.h"

// Finds the COM ports from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM and the names of their
// adapters, opening none of them. Only COM1 to COM16: port n is COMn, and a higher port must
// not take a free lower number (under Wine the console's /dev/ttyS0 ends up there).
class SystemPortScan {
public:
    explicit SystemPortScan(SystemFolders = {}) {}

    // In the order of their numbers.
    std::vector<FoundSerialDevice> devices() const;
};
