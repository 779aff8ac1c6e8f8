#include "platform/named_event.h"

#include <windows.h>

#include <utility>

#include "platform/last_error.h"
#include "platform/win32/unique_handle.h"

namespace orvanta {

namespace {

class Win32NamedEvent final : public NamedEvent {
 public:
  Win32NamedEvent(UniqueHandle handle, bool existed) : handle_(std::move(handle)), existed_(existed) {}

  bool AlreadyExisted() const override { return existed_; }
  bool Signal() override { return SetEvent(handle_.Get()) != FALSE; }
  WaitResult Wait(uint32_t timeoutMs) override {
    if (existed_) return WaitResult::kFailed;
    switch (WaitForSingleObject(handle_.Get(), timeoutMs)) {
      case WAIT_OBJECT_0: return WaitResult::kSignalled;
      case WAIT_TIMEOUT: return WaitResult::kTimedOut;
      default: return WaitResult::kFailed;
    }
  }

 private:
  UniqueHandle handle_;
  bool existed_;
};

}  // namespace

std::unique_ptr<NamedEvent> CreateNamedEvent(const char* name) {
  UniqueHandle handle(CreateEventA(nullptr, FALSE, FALSE, name));
  if (!handle.Valid()) return nullptr;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  auto event = std::make_unique<Win32NamedEvent>(std::move(handle), existed);
  if (existed) SetLastError(error::kAlreadyExists);
  return event;
}

bool SignalNamedEvent(const char* name) {
  UniqueHandle handle(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
  return handle.Valid() && SetEvent(handle.Get()) != FALSE;
}

}  // namespace orvanta
