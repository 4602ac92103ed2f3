#include "system_port_scan.h"

#include <windows.h>
// Defines the device class GUIDs here rather than linking them; after windows.h.
#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

#include <QHash>
#include <algorithm>

namespace {

// The highest number the window offers.
constexpr int kHighestCom = 16;

QString readString(HKEY key, const wchar_t* name) {
    wchar_t value[256] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return QString::fromWCharArray(value);
}

// The adapters' friendly names by their port names, from the Ports device class.
QHash<QString, QString> friendlyNames() {
    QHash<QString, QString> names;
    HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString port = readString(key, L"PortName");
        RegCloseKey(key);
        wchar_t friendly[256] = {};
        if (!port.isEmpty() &&
            SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(friendly),
                                              sizeof friendly - sizeof(wchar_t), nullptr))
            names.insert(port.toUpper(), QString::fromWCharArray(friendly));
    }
    SetupDiDestroyDeviceInfoList(devices);
    return names;
}

int comNumber(const QString& name) {
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int number = name.mid(3).toInt(&ok);
    return ok ? number : 0;
}

}  // namespace

std::vector<FoundSerialDevice> SystemPortScan::devices() const {
    std::vector<FoundSerialDevice> found;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return found;
    const QHash<QString, QString> friendly = friendlyNames();
    for (DWORD i = 0;; ++i) {
        wchar_t device[256] = {};
        DWORD deviceLength = 255;
        wchar_t port[64] = {};
        DWORD portSize = sizeof port - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, i, device, &deviceLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(port), &portSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const QString name = QString::fromWCharArray(port).trimmed().toUpper();
        const int number = comNumber(name);
        if (number < 1 || number > kHighestCom)
            continue;
        QStringList about;
        if (friendly.contains(name))
            about << friendly.value(name);
        about << QString::fromWCharArray(device);
        FoundSerialDevice com;
        com.name = com.path = name;
        com.uartIndex = number - 1;
        com.description = about.join(QStringLiteral(", "));
        found.push_back(std::move(com));
    }
    RegCloseKey(key);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.uartIndex < b.uartIndex; });
    return found;
}
