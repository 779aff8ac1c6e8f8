#include "platform/named_event.h"

#include <windows.h>

#include "platform/last_error.h"

namespace orvanta {

namespace {

class Win32NamedEvent final : public NamedEvent {
 public:
  Win32NamedEvent(HANDLE handle, bool existed) : handle_(handle), existed_(existed) {}
  ~Win32NamedEvent() override { CloseHandle(handle_); }
  Win32NamedEvent(const Win32NamedEvent&) = delete;
  Win32NamedEvent& operator=(const Win32NamedEvent&) = delete;

  bool AlreadyExisted() const override { return existed_; }
  bool Signal() override { return SetEvent(handle_) != FALSE; }
  WaitResult Wait(uint32_t timeoutMs) override {
    if (existed_) return WaitResult::kFailed;
    switch (WaitForSingleObject(handle_, timeoutMs)) {
      case WAIT_OBJECT_0: return WaitResult::kSignalled;
      case WAIT_TIMEOUT: return WaitResult::kTimedOut;
      default: return WaitResult::kFailed;
    }
  }

 private:
  HANDLE handle_;
  bool existed_;
};

}  // namespace

std::unique_ptr<NamedEvent> CreateNamedEvent(const char* name) {
  HANDLE handle = CreateEventA(nullptr, FALSE, FALSE, name);
  if (handle == nullptr) return nullptr;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  auto event = std::make_unique<Win32NamedEvent>(handle, existed);
  if (existed) SetLastError(error::kAlreadyExists);
  return event;
}

bool SignalNamedEvent(const char* name) {
  HANDLE handle = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
  if (handle == nullptr) return false;
  const bool ok = SetEvent(handle) != FALSE;
  LastErrorKeeper keep;
  CloseHandle(handle);
  return ok;
}

}  // namespace orvanta
