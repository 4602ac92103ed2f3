#include "com_port.h"

#include <windows.h>

#include <cmath>

#include "comm_flags.h"
#include "serial_device.h"
#include "win32_errors.h"

namespace {

// The driver's own receive queue; the control's buffer behind it is smaller.
constexpr DWORD kDriverReceiveQueue = 4096;

BYTE parityOf(LineSettings::Parity parity) {
    switch (parity) {
        case LineSettings::Parity::Even:
            return EVENPARITY;
        case LineSettings::Parity::Odd:
            return ODDPARITY;
        case LineSettings::Parity::Mark:
            return MARKPARITY;
        case LineSettings::Parity::Space:
            return SPACEPARITY;
        case LineSettings::Parity::None:
            break;
    }
    return NOPARITY;
}

BYTE stopBitsOf(LineSettings::StopBits stopBits) {
    switch (stopBits) {
        case LineSettings::StopBits::OneAndHalf:
            return ONE5STOPBITS;
        case LineSettings::StopBits::Two:
            return TWOSTOPBITS;
        case LineSettings::StopBits::One:
            break;
    }
    return ONESTOPBIT;
}

CommError openError(const QString& name, DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return invalidPortNumberFor(name);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return CommError(CommErrors::PortAlreadyOpen,
                             QStringLiteral("%1 is already in use, by another program or by "
                                            "another port number of this one.")
                                 .arg(name));
        default:
            return CommError(CommErrors::OpenFailed,
                             describeWindowsError(QStringLiteral("Opening"), name, error));
    }
}

}  // namespace

CommError invalidPortNumberFor(const QString& name) {
    return CommError(
        CommErrors::InvalidPortNumber,
        QStringLiteral("%1 is not a usable serial port: no device answers.").arg(name));
}

ComPort::ComPort(QString name) : name_(std::move(name)) {
    const QString reservation = QStringLiteral("Global\\Quillmark.") + name_;
    reservation_ =
        CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(reservation.utf16()));
    if (reservation_ && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(reservation_);
        throw openError(name_, ERROR_ACCESS_DENIED);
    }
    const QString path = QStringLiteral("\\\\.\\") + name_;
    handle_ =
        CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    try {
        if (handle_ == INVALID_HANDLE_VALUE)
            throw openError(name_, GetLastError());
        prepare();
    } catch (...) {
        close();
        throw;
    }
}

ComPort::~ComPort() {
    close();
}

void ComPort::close() {
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    if (reservation_)
        CloseHandle(reservation_);
}

void ComPort::prepare() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) {
        const DWORD error = GetLastError();
        // A name that leads nowhere still opens under some drivers, and then has no state.
        if (error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_HANDLE)
            throw invalidPortNumberFor(name_);
        throw openError(name_, error);
    }
    SetupComm(handle_, kDriverReceiveQueue, kTransmitBufferSize);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // with both totals 0: return at once
    if (!SetCommTimeouts(handle_, &timeouts))
        throw openError(name_, GetLastError());
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
}

std::uint32_t ComPort::applySettings(const LineSettings& settings, bool dtr, bool rts) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb))
        return GetLastError();
    dcb.BaudRate = static_cast<DWORD>(settings.baud);
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = parityOf(settings.parity);
    dcb.StopBits = stopBitsOf(settings.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != LineSettings::Parity::None;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;  // an error must not stop reading and writing
    dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (!SetCommState(handle_, &dcb))
        return GetLastError();

    // A write gives up after the time the transmit buffer takes to drain, and some more.
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(handle_, &timeouts))
        return GetLastError();
    const double msPerByte = 1000.0 * settings.bitsPerCharacter() / settings.baud;
    timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(std::ceil(msPerByte)) + 1;
    timeouts.WriteTotalTimeoutConstant = 500;
    return SetCommTimeouts(handle_, &timeouts) ? 0 : GetLastError();
}
