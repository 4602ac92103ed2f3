#pragma once

#include <sys/types.h>
#include <QString>

// What sysfs tells of the hardware behind a device; each empty where it does not tell.
struct AdapterFacts {
    QString driver;        // the driver serving the tty: "ftdi_sio", "cdc_acm", "serial8250"
    QString vendorId;      // a USB adapter's IDs as sysfs gives them, in hex: "0403"
    QString productId;     // "6001"
    QString serialNumber;  // "A10K3ABC"
    QString manufacturer;  // "FTDI"
    QString product;       // "FT232R USB UART"
};

// A serial device the system has now, as the system's scan tells it.
struct FoundSerialDevice {
    QString name;        // "ttyUSB0"
    QString path;        // "/dev/ttyUSB0", in the device folder
    QString byPath;      // its name in /dev/serial/by-path (which socket it is in), or empty
    QString byId;        // its name in /dev/serial/by-id, where udev made one, or empty
    int uartIndex = -1;  // k of a native UART ttyS<k>; -1 for any other device
    // What it is, for the user: "FTDI FT232R USB UART, serial A10K3ABC", "16550A UART"; may
    // be empty.
    QString description;
    dev_t device = 0;  // its number, from sysfs
    // Which adapter it is, the same after it is pulled out and plugged in again: "usb
    // 0403:6001 serial A10K3ABC 1.0"; one with no serial number is known by the socket it sits
    // in, "usb 1a86:7523 at 1-2 1.0". Empty for a device that is not a USB adapter.
    QString identity;
    // Why it takes no number unless the user names it: "system console", "controlling
    // terminal of agetty, PID 612"; empty for a port free to number.
    QString withheld;
    // "in use by picocom, PID 4242"; empty when nobody holds it.
    QString heldBy;
    AdapterFacts facts;
};
