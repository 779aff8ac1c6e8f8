// Where the worker stops while the service is paused. The worker passes the
// gate at its safe points (before a pass, after a wait); while the gate is
// closed it parks there, holding no lock, socket or file of its own, so the
// wind-down and other processes never wait on a paused worker.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace orvanta {

class PauseGate {
 public:
  void Close();  // pause: the worker parks at its next safe point
  void Open();   // continue: a parked worker goes on where it stood

  // The worker's safe point: returns at once while open, else when reopened.
  void Pass();

  bool IsClosed() const;
  // True while the worker is parked at the gate (for the host and the tests).
  bool WorkerParked() const;
  // Waits until the worker has parked or the limit passed; true when parked.
  bool WaitUntilParked(uint32_t limitMs) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool closed_ = false;
  bool parked_ = false;
};

}  // namespace orvanta
