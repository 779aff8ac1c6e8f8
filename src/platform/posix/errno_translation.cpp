#include "platform/posix/errno_translation.h"

#include <cerrno>
#include <netdb.h>

#include "platform/last_error.h"

namespace orvanta::posix {

uint32_t TranslateErrno(int err) {
  switch (err) {
    case 0: return error::kSuccess;
    case ENOENT: return error::kFileNotFound;
    case ENOTDIR: return error::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return error::kAccessDenied;
    case ENOMEM: return error::kNotEnoughMemory;
    case EINTR: return error::kWsaInterrupted;
    case EINVAL: return error::kInvalidParameter;
    case EMFILE:
    case ENFILE: return error::kWsaTooManySockets;
    case EMSGSIZE: return error::kWsaMessageTooLong;
    case EAFNOSUPPORT: return error::kWsaAddressFamily;
    case ENETDOWN: return error::kWsaNetworkDown;
    case ENETUNREACH: return error::kWsaNetworkUnreachable;
    case ECONNRESET: return error::kWsaConnectionReset;
    case ENOBUFS: return error::kWsaNoBuffers;
    case ETIMEDOUT: return error::kWsaTimedOut;
    case ECONNREFUSED: return error::kWsaConnectionRefused;
    case EHOSTUNREACH: return error::kWsaHostUnreachable;
    default: return 0x20010000u | static_cast<uint32_t>(err);  // customer bit: an errno without a Windows twin
  }
}

uint32_t TranslateResolverError(int hErrno) {
  switch (hErrno) {
    case HOST_NOT_FOUND: return error::kWsaHostNotFound;
    case TRY_AGAIN: return error::kWsaTryAgain;
    case NO_RECOVERY: return error::kWsaNoRecovery;
    case NO_DATA: return error::kWsaNoData;
    default: return error::kWsaHostNotFound;
  }
}

void SetLastErrorFromErrno() { SetLastError(TranslateErrno(errno)); }

}  // namespace orvanta::posix
