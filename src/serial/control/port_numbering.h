#pragma once

#include <QSet>
#include <QString>
#include <array>
#include <map>
#include <optional>
#include <vector>

#include "found_serial_device.h"
#include "kept_number.h"
#include "port_map.h"
#include "port_numbers.h"

// What one port number reaches.
struct PortReach {
    std::optional<PortMap::Target> target;  // none: no port
    QString device;  // as the user knows it: "/dev/ttyUSB0", "sim", "sim:held"
    QString detail;  // what it is, where known: "FTDI FT232R USB UART, serial A10K3ABC"

    // "/dev/ttyUSB0, FTDI FT232R USB UART, serial A10K3ABC"; "no port" where there is none,
    // followed by the detail of a device withheld from it.
    QString text() const;
};

// The numbers 1 to 16 given by a rule that keeps them stable while the hardware stays put:
//  1. each entry of the map keeps its number, and each kept number its adapter's, taken by
//     nothing else while the adapter is away;
//  2. a native UART ttyS<k> takes k+1, if that is free;
//  3. every other device takes the lowest free number: first those with a by-path name (the
//     socket they are in), in its order, then the rest in the order of their names, numbers
//     within names counted (ttyUSB2 before ttyUSB10).
// A device that an entry names already takes no number of its own. A device the scan withholds
// (the system console, a getty's terminal) takes none unless an entry names it; the number it
// would have taken, if left empty, tells why; a native UART's number stays empty for it.
class PortNumbering {
public:
    using Kept = std::map<int, KeptNumber>;
    PortNumbering(const PortMap& map, const std::vector<FoundSerialDevice>& found,
                  const Kept& kept = {});

    // `port` from 1 to 16.
    const PortReach& reach(int port) const { return reach_.at(static_cast<std::size_t>(port - 1)); }
    // The devices left when every number is taken, in order.
    const std::vector<FoundSerialDevice>& unnumbered() const { return unnumbered_; }
    // The devices withheld from numbering, in order.
    const std::vector<FoundSerialDevice>& withheld() const { return withheld_; }
    // The system device that `port` reaches, numbered or named by an entry; none for a source
    // or a path the scan does not list.
    const FoundSerialDevice* deviceAt(int port) const;

    // "system console: not numbered; `--port N=/dev/ttyS0` tests it anyway", with `number`
    // for N.
    static QString withheldNote(const FoundSerialDevice& device, const QString& number);

private:
    PortReach& at(int port) { return reach_.at(static_cast<std::size_t>(port - 1)); }
    // Gives each kept number its adapter where present; takes the devices given from `free`.
    void keep(const Kept& kept, std::vector<FoundSerialDevice>& free);
    void number(const std::vector<FoundSerialDevice>& free);
    void give(int port, const FoundSerialDevice& device);
    void explainEmptyNumbers(const PortMap& map, std::vector<FoundSerialDevice> all,
                             const Kept& kept);

    std::array<PortReach, PortNumbers::kLast> reach_;
    std::map<int, FoundSerialDevice> given_;
    QSet<int> keptAway_;
    std::vector<FoundSerialDevice> unnumbered_;
    std::vector<FoundSerialDevice> withheld_;
};
