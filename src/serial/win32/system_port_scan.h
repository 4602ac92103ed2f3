#pragma once

#include <QString>
#include <vector>

#include "system_folders.h"

// A COM port the system has now, as the registry tells it.
struct FoundSerialDevice {
    QString name;        // "COM5"
    QString path;        // "COM5", what opening takes
    QString byPath;      // unused on Windows: the COM number says where a port is
    int uartIndex = -1;  // n-1 for COMn, so that port n is COMn
    // What it is, for the user: "USB Serial Port (COM5), \Device\VCP0"; may be empty.
    QString description;
};

// Finds the COM ports from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM and the names of their
// adapters, opening none of them. Only COM1 to COM16: port n is COMn, and a higher port must
// not take a free lower number (under Wine the console's /dev/ttyS0 ends up there).
class SystemPortScan {
public:
    explicit SystemPortScan(SystemFolders = {}) {}

    // In the order of their numbers.
    std::vector<FoundSerialDevice> devices() const;
};
