#include <windows.h>

#include "platform/clock.h"
#include "platform/last_error.h"
#include "platform/win32/unique_handle.h"

namespace orvanta {

namespace {

// FILETIME counts 100 ns units from 1601-01-01, 11644473600 s before 1970.
constexpr int64_t kFileTimeUnitsPerSecond = 10000000;
constexpr int64_t kFileTimeToUnixSeconds = 11644473600;

using ReadFileTime = VOID(WINAPI*)(LPFILETIME);

// GetSystemTimePreciseAsFileTime where the system has it (Windows 8 and
// later): GetSystemTimeAsFileTime only advances with the timer tick, about
// every 15.6 ms. Looked up at run time, so the program still starts on older
// systems.
ReadFileTime FinestSystemTimeReader() {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const auto precise = kernel == nullptr ? nullptr
                                         : reinterpret_cast<ReadFileTime>(reinterpret_cast<void (*)()>(
                                               GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")));
  return precise != nullptr ? precise : GetSystemTimeAsFileTime;
}

// The right to set the clock is the token privilege SeSystemtimePrivilege:
// enabled just for the change and disabled right after it. The token is
// opened for each grant and closed at the withdrawal.
class SystemTimeClock final : public Clock {
 public:
  UtcInstant Now() override {
    FILETIME now;
    readTime_(&now);
    const int64_t units = static_cast<int64_t>((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
    return UtcInstant{units / kFileTimeUnitsPerSecond - kFileTimeToUnixSeconds,
                      static_cast<uint32_t>(units % kFileTimeUnitsPerSecond * 100)};
  }

  bool GrantSetRight() override {
    privilegeEnabled_ = false;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.Out())) {
      // A system without privileges: nothing to grant.
      if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        SetLastError(error::kSuccess);
        return true;
      }
      return false;
    }
    privileges_ = TOKEN_PRIVILEGES{};
    if (!LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &privileges_.Privileges[0].Luid)) return false;
    privileges_.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
    privileges_.PrivilegeCount = 1;
    privilegeEnabled_ = true;
    // True also when the account lacks the privilege; the change then fails.
    return AdjustTokenPrivileges(token_.Get(), FALSE, &privileges_, 0, nullptr, nullptr) != FALSE;
  }

  // SetSystemTime takes whole milliseconds: the nearest one, never a
  // truncation, which would leave the clock behind on average.
  bool Set(const UtcInstant& utc) override {
    const UtcInstant rounded = RoundedToMilliseconds(utc);
    const uint64_t units = static_cast<uint64_t>(rounded.unixSeconds + kFileTimeToUnixSeconds) * kFileTimeUnitsPerSecond +
                           rounded.nanoseconds / 100;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(units);
    time.dwHighDateTime = static_cast<DWORD>(units >> 32);
    SYSTEMTIME parts;
    return FileTimeToSystemTime(&time, &parts) && SetSystemTime(&parts) != FALSE;
  }

  void WithdrawSetRight() override {
    LastErrorKeeper keep;
    if (privilegeEnabled_ && token_.Valid()) {
      privileges_.Privileges[0].Attributes &= ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED);
      AdjustTokenPrivileges(token_.Get(), FALSE, &privileges_, 0, nullptr, nullptr);
    }
    token_.Reset();
  }

 private:
  const ReadFileTime readTime_ = FinestSystemTimeReader();
  UniqueHandle token_;
  TOKEN_PRIVILEGES privileges_{};
  bool privilegeEnabled_ = false;
};

}  // namespace

Clock& RealClock() {
  static SystemTimeClock clock;
  return clock;
}

}  // namespace orvanta
