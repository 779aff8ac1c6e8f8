// Owns a Win32 kernel handle (process, thread, token, event, file) and closes
// it on every path; both null and INVALID_HANDLE_VALUE mean "none". Closing
// keeps the last-error value, so a failure's reason outlives the cleanup.
#pragma once

#include <windows.h>

#include "platform/last_error.h"

namespace orvanta {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  // For calls that fill in a handle: the old one is closed first.
  HANDLE* Out() {
    Reset();
    return &handle_;
  }
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void Reset(HANDLE handle = nullptr) {
    if (Valid()) {
      LastErrorKeeper keep;
      ::CloseHandle(handle_);
    }
    handle_ = handle;
  }
  // Closes now; true when the close itself went well (a flush can fail here).
  bool Close() {
    if (!Valid()) return true;
    const BOOL closed = ::CloseHandle(Release());
    return closed != FALSE;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace orvanta
