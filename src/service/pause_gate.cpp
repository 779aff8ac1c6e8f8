#include "service/pause_gate.h"

#include <chrono>

namespace orvanta {

void PauseGate::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
}

void PauseGate::Open() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = false;
  }
  changed_.notify_all();
}

void PauseGate::Pass() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!closed_) return;
  parked_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !closed_; });
  parked_ = false;
}

bool PauseGate::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

bool PauseGate::WorkerParked() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return parked_;
}

bool PauseGate::WaitUntilParked(uint32_t limitMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(limitMs), [this] { return parked_; });
}

}  // namespace orvanta
