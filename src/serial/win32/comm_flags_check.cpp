// The portable spelling of the communications API's values must be the system's own.
#include <windows.h>

#include "comm_flags.h"

static_assert(CommFlags::RxChar == EV_RXCHAR && CommFlags::Cts == EV_CTS &&
              CommFlags::Dsr == EV_DSR && CommFlags::Rlsd == EV_RLSD &&
              CommFlags::Break == EV_BREAK && CommFlags::Err == EV_ERR &&
              CommFlags::Ring == EV_RING);
static_assert(CommFlags::RxOver == CE_RXOVER && CommFlags::Overrun == CE_OVERRUN &&
              CommFlags::RxParity == CE_RXPARITY && CommFlags::Frame == CE_FRAME &&
              CommFlags::BreakSeen == CE_BREAK);
static_assert(CommFlags::CtsOn == MS_CTS_ON && CommFlags::DsrOn == MS_DSR_ON &&
              CommFlags::RingOn == MS_RING_ON && CommFlags::RlsdOn == MS_RLSD_ON);
static_assert(WinErrors::InvalidFunction == ERROR_INVALID_FUNCTION &&
              WinErrors::FileNotFound == ERROR_FILE_NOT_FOUND &&
              WinErrors::PathNotFound == ERROR_PATH_NOT_FOUND &&
              WinErrors::AccessDenied == ERROR_ACCESS_DENIED &&
              WinErrors::BadCommand == ERROR_BAD_COMMAND &&
              WinErrors::SharingViolation == ERROR_SHARING_VIOLATION &&
              WinErrors::NotSupported == ERROR_NOT_SUPPORTED &&
              WinErrors::InvalidParameter == ERROR_INVALID_PARAMETER &&
              WinErrors::CallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED &&
              WinErrors::OperationAborted == ERROR_OPERATION_ABORTED &&
              WinErrors::DeviceRemoved == ERROR_DEVICE_REMOVED);
