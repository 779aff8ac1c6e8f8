#include <windows.h>

#include "platform/clock.h"
#include "platform/last_error.h"
#include "platform/win32/system_time_win.h"
#include "platform/win32/unique_handle.h"

namespace orvanta {

namespace {

// The right to set the clock is the token privilege SeSystemtimePrivilege:
// enabled just for the change and disabled right after it. The token is
// opened for each grant and closed at the withdrawal.
class SystemTimeClock final : public Clock {
 public:
  SystemTime NowUtc() override {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return FromWindowsTime(now);
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

  bool SetUtc(const SystemTime& utc) override {
    const SYSTEMTIME time = ToWindowsTime(utc);
    return SetSystemTime(&time) != FALSE;
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
