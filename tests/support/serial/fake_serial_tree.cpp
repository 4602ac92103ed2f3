#include "fake_serial_tree.h"

#include <QDir>
#include <QFile>

namespace {

bool writeFile(const QString& path, const QString& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content.toUtf8() + '\n') >= 0;
}

}  // namespace

FakeSerialTree::FakeSerialTree() {
    QDir(root()).mkpath("dev/serial/by-path");
    QDir(root()).mkpath("sys/class/tty");
}

SystemFolders FakeSerialTree::folders() const {
    return {path("sys"), path("dev"), path("lock")};
}

bool FakeSerialTree::add(const QString& description) {
    QStringList fields = description.split(';');
    for (QString& field : fields)
        field = field.trimmed();
    const QString name = fields.takeFirst();
    const auto valueOf = [&](const QString& key) {
        for (const QString& field : fields)
            if (field.startsWith(key + '='))
                return field.mid(key.size() + 1);
        return QString();
    };
    const QString usb = valueOf("usb"), byPath = valueOf("by-path"), type = valueOf("type");
    // The device's folder in sysfs: under its USB device for an adapter.
    QString device = "sys/devices/platform/" + name;
    if (!usb.isEmpty()) {
        const QString usbDevice = QString("sys/devices/usb1/1-%1").arg(++usbDevices_);
        device = QString("%1/1-%2:1.0/%3").arg(usbDevice).arg(usbDevices_).arg(name);
        const QStringList parts = usb.split('|');
        const char* const attributes[] = {"manufacturer", "product", "serial"};
        bool written =
            QDir(root()).mkpath(device) && writeFile(path(usbDevice + "/idVendor"), "0403");
        for (int i = 0; i < 3 && i < parts.size(); ++i)
            written = written && (parts[i].isEmpty() ||
                                  writeFile(path(usbDevice + '/' + attributes[i]), parts[i]));
        if (!written)
            return false;
    }
    const QString entry = "sys/class/tty/" + name;
    bool made = QDir(root()).mkpath(device) && QDir(root()).mkpath(entry) &&
                QFile::link("../../../" + device.mid(4), path(entry + "/device")) &&
                writeFile(path("dev/" + name), "");
    if (!type.isEmpty())
        made = made && writeFile(path(entry + "/type"), type);
    if (fields.contains("console"))
        made = made && writeFile(path(entry + "/console"), "Y");
    if (!byPath.isEmpty())
        made = made && QFile::link("../../" + name, path("dev/serial/by-path/" + byPath));
    return made;
}

bool FakeSerialTree::remove(const QString& name) {
    for (const QFileInfo& link : QDir(path("dev/serial/by-path")).entryInfoList(QDir::System))
        if (link.symLinkTarget().endsWith('/' + name))
            QFile::remove(link.filePath());
    return QDir(path("sys/class/tty/" + name)).removeRecursively() &&
           QFile::remove(path("dev/" + name));
}
