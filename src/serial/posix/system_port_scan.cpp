#include "system_port_scan.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <sys/sysmacros.h>

#include "console_ttys.h"
#include "driver_traits.h"
#include "port_holders.h"
#include "sysfs_tty.h"
#include "tty_users.h"

namespace {

// The chips of the common PCs' native UARTs, by the type number sysfs gives.
QString uartDescription(int type) {
    static const QHash<int, const char*> kChips = {
        {1, "8250"},  {2, "16450"},   {3, "16550"},  {4, "16550A"}, {6, "16650"},    {7, "16650V2"},
        {8, "16750"}, {10, "16C950"}, {11, "16654"}, {12, "16850"}, {14, "NS16550A"}};
    const auto chip = kChips.find(type);
    return chip == kChips.end() ? QStringLiteral("built-in serial port")
                                : QLatin1String(chip.value()) + QStringLiteral(" UART");
}

// The folder of the USB device the tty belongs to: the nearest one above the tty's device
// with a USB vendor ID; empty for a tty on no USB device.
QString usbDeviceFolder(const QString& deviceFolder, const QString& sysRoot) {
    QString folder = QFileInfo(deviceFolder).canonicalFilePath();
    const QString root = QFileInfo(sysRoot).canonicalFilePath();
    for (int up = 0; up < 4 && folder.startsWith(root + '/'); ++up) {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor")))
            return folder;
        folder = QFileInfo(folder).path();
    }
    return {};
}

// What the USB device says of itself.
void readUsbFacts(const QString& usbFolder, AdapterFacts& facts) {
    facts.vendorId = SysfsTty::attribute(usbFolder, "idVendor");
    facts.productId = SysfsTty::attribute(usbFolder, "idProduct");
    facts.serialNumber = SysfsTty::attribute(usbFolder, "serial");
    facts.manufacturer = SysfsTty::attribute(usbFolder, "manufacturer");
    facts.product = SysfsTty::attribute(usbFolder, "product");
}

// Maker, product and serial number of the USB device.
QString usbDescription(const AdapterFacts& facts) {
    QStringList parts;
    const QString name = facts.product.startsWith(facts.manufacturer)
                             ? facts.product
                             : facts.manufacturer + ' ' + facts.product;
    if (!name.trimmed().isEmpty())
        parts << name.trimmed();
    if (!facts.serialNumber.isEmpty())
        parts << QStringLiteral("serial ") + facts.serialNumber;
    return parts.join(QStringLiteral(", "));
}

// IDs and serial number of the USB device, or the socket it is in (its folder's name, "1-2")
// where it has no serial number; then the interface the tty is on, which tells apart the
// ports of one adapter with several.
QString usbIdentity(const AdapterFacts& facts, const QString& usbFolder,
                    const QString& deviceFolder) {
    const QString where = facts.serialNumber.isEmpty()
                              ? QStringLiteral("at ") + QFileInfo(usbFolder).fileName()
                              : QStringLiteral("serial ") + facts.serialNumber;
    const QString below = QFileInfo(deviceFolder).canonicalFilePath().mid(usbFolder.size() + 1);
    const QString interface = below.section('/', 0, 0).section(':', 1);
    return QStringLiteral("usb %1:%2 %3 %4").arg(facts.vendorId, facts.productId, where, interface);
}

// The names udev made in /dev/serial/<kind> ("by-path", "by-id"), by device name.
QHash<QString, QString> udevNames(const QString& devRoot, const QString& kind) {
    QHash<QString, QString> names;
    const QDir folder(devRoot + QStringLiteral("/serial/") + kind);
    for (const QFileInfo& link : folder.entryInfoList(QDir::System | QDir::Files, QDir::Name))
        names.insert(QFileInfo(link.symLinkTarget()).fileName(), link.fileName());
    return names;
}

// What the driver is and how a port of it sees its lines, after what the device is.
void appendDriverWords(QString& description, const QString& entry) {
    const QString words = driverWords(entry);
    if (!words.isEmpty())
        description += (description.isEmpty() ? QString() : QStringLiteral(" (")) + words +
                       (description.isEmpty() ? QString() : QStringLiteral(")"));
}

// The number in the entry's `dev` attribute, "4:64".
dev_t deviceNumber(const QString& entry) {
    const QString text = SysfsTty::attribute(entry, "dev");
    return text.isEmpty()
               ? 0
               : makedev(text.section(':', 0, 0).toUInt(), text.section(':', 1).toUInt());
}

QString whyWithheld(const FoundSerialDevice& device, bool console, const TtyUsers& users) {
    if (console)
        return QStringLiteral("system console");
    const std::vector<TtyUser>& controllers = users.controlledBy(device.device);
    if (device.device == 0 || controllers.empty())
        return {};
    return QStringLiteral("controlling terminal of ") + describeUsers(controllers);
}

}  // namespace

QStringList SystemPortScan::adapters() const {
    const QString classFolder = folders_.sys + QStringLiteral("/class/tty");
    QStringList identities;
    for (const QString& name :
         QDir(classFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        const QString deviceFolder = classFolder + '/' + name + QStringLiteral("/device");
        const QString usb = usbDeviceFolder(deviceFolder, folders_.sys);
        if (usb.isEmpty())
            continue;
        AdapterFacts facts;
        readUsbFacts(usb, facts);
        identities << usbIdentity(facts, usb, deviceFolder);
    }
    return identities;
}

std::vector<FoundSerialDevice> SystemPortScan::devices(SystemPorts::Holders holders) const {
    static const QRegularExpression kNativeUart(QStringLiteral("^ttyS(\\d+)$"));
    const QString classFolder = folders_.sys + QStringLiteral("/class/tty");
    const QHash<QString, QString> byPath = udevNames(folders_.dev, QStringLiteral("by-path"));
    const QHash<QString, QString> byId = udevNames(folders_.dev, QStringLiteral("by-id"));
    const QSet<QString> consoles = kernelConsoles(folders_.sys, folders_.proc);
    const bool nameHolders = holders == SystemPorts::Holders::Named;
    const TtyUsers users(folders_.proc,
                         nameHolders ? TtyUsers::OpenFilesToo : TtyUsers::ControllingTerminalsOnly);
    std::vector<FoundSerialDevice> found;
    for (const QString& name :
         QDir(classFolder)
             .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        const QString entry = classFolder + '/' + name;
        const QString deviceFolder = entry + QStringLiteral("/device");
        if (!SysfsTty::hasDevice(entry) || SysfsTty::hasNoChipFitted(entry))
            continue;  // no hardware: virtual consoles, /dev/tty, ttyS nodes without a UART
        FoundSerialDevice device;
        device.name = name;
        device.path = folders_.dev + QLatin1Char('/') + name;
        device.byPath = byPath.value(name);
        device.byId = byId.value(name);
        const QRegularExpressionMatch uart = kNativeUart.match(name);
        if (uart.hasMatch()) {
            const int type = SysfsTty::attribute(entry, "type").toInt();
            device.uartIndex = uart.captured(1).toInt();
            device.description = uartDescription(type);
        } else if (const QString usb = usbDeviceFolder(deviceFolder, folders_.sys);
                   !usb.isEmpty()) {
            readUsbFacts(usb, device.facts);
            device.description = usbDescription(device.facts);
            device.identity = usbIdentity(device.facts, usb, deviceFolder);
        }
        device.facts.driver = SysfsTty::driverName(entry);
        device.device = deviceNumber(entry);
        const bool console =
            consoles.contains(name) || SysfsTty::attribute(entry, "console") == QLatin1String("Y");
        if (console)  // a warning where an entry names it anyway
            device.description += device.description.isEmpty() ? QStringLiteral("system console")
                                                               : QStringLiteral(", system console");
        appendDriverWords(device.description, entry);
        device.withheld = whyWithheld(device, console, users);
        if (nameHolders)
            device.heldBy =
                heldByText(portHolders(device.device, name, folders_, users), device.path);
        found.push_back(std::move(device));
    }
    return found;
}
