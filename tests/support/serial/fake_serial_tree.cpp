#include "fake_serial_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

namespace {

bool writeFile(const QString& path, const QString& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content.toUtf8() + '\n') >= 0;
}

}  // namespace

FakeSerialTree::FakeSerialTree() {
    QDir(root()).mkpath("dev/serial/by-path");
    QDir(root()).mkpath("dev/serial/by-id");
    QDir(root()).mkpath("sys/class/tty/console");
    QDir(root()).mkpath("proc");
    QDir(root()).mkpath("lock");
}

SystemFolders FakeSerialTree::folders() const {
    return {path("sys"), path("dev"), path("lock"), path("proc")};
}

bool FakeSerialTree::add(const QString& description) {
    QStringList fields = description.split(';');
    const QString name = fields.takeFirst();
    QMap<QString, QString> value;
    for (const QString& field : fields)
        value[field.section('=', 0, 0).trimmed()] = field.section('=', 1).trimmed();
    // An adapter's tty sits below its USB interface, below the USB device.
    const QString socket = value.value("socket", QString("1-%1").arg(devices_ + 1));
    const QString usbDevice = "sys/devices/usb1/" + socket;
    ++devices_;
    const QString device =
        value.contains("usb") ? usbDevice + "/1-0:1.0/" + name : "sys/devices/platform/" + name;
    const QString entry = "sys/class/tty/" + name;
    bool made = QDir(root()).mkpath(device) && QDir(root()).mkpath(entry) &&
                QFile::link("../../../" + device.mid(4), path(entry + "/device")) &&
                writeFile(path("dev/" + name), "");
    const QStringList usb = value.value("usb").split('|');
    const char* const usbAttributes[] = {"idVendor", "idProduct", "manufacturer", "product",
                                         "serial"};
    for (int i = 0; value.contains("usb") && i < 5; ++i) {
        const QString text = i == 0 ? QString("0403") : i == 1 ? "6001" : usb.value(i - 2);
        made =
            made && (text.isEmpty() || writeFile(path(usbDevice + '/' + usbAttributes[i]), text));
    }
    if (value.contains("type"))
        made = made && writeFile(path(entry + "/type"), value["type"]);
    if (value.contains("console"))
        made = made && writeFile(path(entry + "/console"), "Y");
    // A number of its own, and the tty_nr of /proc/PID/stat that names it.
    made = made && writeFile(path(entry + "/dev"), QString("200:%1").arg(devices_));
    if (value.contains("active-console"))
        made = made && writeFile(path("sys/class/tty/console/active"), name);
    const QString getty = "proc/" + value["getty"];
    if (value.contains("getty"))
        made =
            made && QDir(root()).mkpath(getty) &&
            writeFile(
                path(getty + "/stat"),
                QString("%1 (agetty) S 1 0 0 %2 0").arg(value["getty"]).arg(200 << 8 | devices_));
    if (value.contains("locked-by")) {  // a live process of that name holds its lock
        const QString pid = value["locked-by"].section('|', 1);
        made = made && QDir(root()).mkpath("proc/" + pid) &&
               writeFile(path("proc/" + pid + "/comm"), value["locked-by"].section('|', 0, 0)) &&
               writeFile(path("lock/LCK.." + name), pid.rightJustified(10));
    }
    for (const QString udevName : {"by-path", "by-id"})
        if (value.contains(udevName))
            made = made && QFile::link("../../" + name,
                                       path("dev/serial/" + udevName + '/' + value[udevName]));
    return made;
}

bool FakeSerialTree::remove(const QString& name) {
    // The adapter goes with its tty: what is plugged into its socket next starts afresh.
    const QString device = QFileInfo(path("sys/class/tty/" + name + "/device")).canonicalFilePath();
    if (device.contains("/usb1/"))
        QDir(QFileInfo(QFileInfo(device).path()).path()).removeRecursively();
    for (const QString udevName : {"by-path", "by-id"})
        for (const QFileInfo& link :
             QDir(path("dev/serial/" + udevName)).entryInfoList(QDir::System))
            if (link.symLinkTarget().endsWith('/' + name))
                QFile::remove(link.filePath());
    return QDir(path("sys/class/tty/" + name)).removeRecursively() &&
           QFile::remove(path("dev/" + name));
}
