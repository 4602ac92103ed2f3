#include "win32_errors.h"

#include <windows.h>

QString windowsErrorText(std::uint32_t error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || !text)
        return QStringLiteral("system error %1").arg(error);
    QString message = QString::fromWCharArray(text, static_cast<qsizetype>(length)).trimmed();
    LocalFree(text);
    if (message.endsWith('.'))
        message.chop(1);
    return message;
}

QString describeWindowsError(const QString& action, const QString& port, std::uint32_t error) {
    return QStringLiteral("%1 %2 failed: %3.").arg(action, port, windowsErrorText(error));
}
