// An in-process event with manual reset: once set it stays set, so a signal
// counts whenever it comes, before or during the wait.
#pragma once

#include <condition_variable>
#include <mutex>

namespace orvanta {

class ManualResetEvent {
 public:
  void Set() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      set_ = true;
    }
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
  }
  bool IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace orvanta
