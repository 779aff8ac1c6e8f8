// The thread-wide last-error value that carries the reason for a failure,
// and the codes the program reports on every platform.
//
// Windows keeps it in GetLastError/SetLastError. Elsewhere it is a thread-local
// value; OS error numbers are translated once, where the failing call is made,
// so that callers see the same code on both platforms (10060 for "no reply in
// time", 11001 for "no such host", and so on).
#pragma once

#include <cstdint>

namespace orvanta {

uint32_t LastError();
void SetLastError(uint32_t code);

// Restores the last-error value on scope exit, so that cleanup calls (closing
// a socket or a file) cannot overwrite the reason of the failure before them.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : code_(LastError()) {}
  ~LastErrorKeeper() { SetLastError(code_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

namespace error {
// Windows system codes.
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kNotEnoughMemory = 8;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kCallNotImplemented = 120;
constexpr uint32_t kBusy = 170;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kServiceAlreadyRunning = 1056;
constexpr uint32_t kServiceDoesNotExist = 1060;
constexpr uint32_t kFailedServiceControllerConnect = 1063;  // not started as a service
constexpr uint32_t kServiceExists = 1073;
constexpr uint32_t kPrivilegeNotHeld = 1314;
// Winsock codes (WSABASEERR + the BSD number).
constexpr uint32_t kWsaInterrupted = 10004;
constexpr uint32_t kWsaAccessDenied = 10013;
constexpr uint32_t kWsaInvalidArgument = 10022;
constexpr uint32_t kWsaTooManySockets = 10024;
constexpr uint32_t kWsaMessageTooLong = 10040;
constexpr uint32_t kWsaAddressFamily = 10047;
constexpr uint32_t kWsaNetworkDown = 10050;
constexpr uint32_t kWsaNetworkUnreachable = 10051;
constexpr uint32_t kWsaConnectionReset = 10054;
constexpr uint32_t kWsaNoBuffers = 10055;
constexpr uint32_t kWsaTimedOut = 10060;
constexpr uint32_t kWsaConnectionRefused = 10061;
constexpr uint32_t kWsaHostUnreachable = 10065;
constexpr uint32_t kWsaHostNotFound = 11001;
constexpr uint32_t kWsaTryAgain = 11002;
constexpr uint32_t kWsaNoRecovery = 11003;
constexpr uint32_t kWsaNoData = 11004;
}  // namespace error

}  // namespace orvanta
