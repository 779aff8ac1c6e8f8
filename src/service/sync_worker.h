// The background behaviour: a short burst of start-up attempts, then one
// synchronization pass every "period" minutes, until the named event is
// signalled. It does no network or clock work of its own.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/named_event.h"
#include "platform/sleeper.h"
#include "service/pause_gate.h"

namespace orvanta {

constexpr uint32_t kStartupPauseMs = 5000;
constexpr uint32_t kStartupAttempts = 10;
constexpr uint32_t kMillisecondsPerMinute = 60000;

// What the worker needs of the world. Tests hand in recording stand-ins.
struct WorkerEnvironment {
  std::function<bool()> synchronize;              // one pass; true when the clock was set
  std::function<uint32_t()> readPeriodMinutes;    // "period", read afresh and clamped
  Sleeper* sleeper = nullptr;                     // the start-up pauses
  NamedEvent* stopEvent = nullptr;                // the named event: the only stop signal
  PauseGate* pauseGate = nullptr;                 // absent: never paused ("debug")
  std::function<void()> signalStop;               // the host's stop hook; absent in "debug"
};

class SyncWorker {
 public:
  explicit SyncWorker(WorkerEnvironment environment);

  // The loop. Returns 0, and only when the named event was signalled at a
  // periodic wait.
  int Run();

  // Entry of the worker thread (and of "debug" on the main thread): the loop,
  // then the host's stop hook, so that a worker ending for any reason brings
  // the service down with it.
  void ThreadMain();

 private:
  void SafePoint();

  WorkerEnvironment env_;
};

}  // namespace orvanta
