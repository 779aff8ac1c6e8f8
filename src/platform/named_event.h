// A machine-wide, automatically resetting event that other processes find by
// name: the stop signal of the background worker and the single-instance
// guard of the background roles.
//
// Windows: a kernel event in the global namespace (CreateEventA).
// Linux: an abstract Unix datagram socket bound to the name. It vanishes with
// the process that holds it, so a crash leaves no stale guard; a signal is a
// queued datagram, kept until the next wait; only root or the holder's own
// user may signal. Abstract sockets belong to a network namespace, so on Linux
// "machine-wide" means "within the holder's network namespace".
#pragma once

#include <cstdint>
#include <memory>

namespace orvanta {

class NamedEvent {
 public:
  enum class WaitResult { kSignalled, kTimedOut, kFailed };

  virtual ~NamedEvent() = default;
  // True when another process already held the event at creation; this
  // object then guards nothing and its waits fail.
  virtual bool AlreadyExisted() const = 0;
  virtual bool Signal() = 0;
  // Waits at most timeoutMs for a signal and consumes it.
  virtual WaitResult Wait(uint32_t timeoutMs) = 0;
};

// Creates the event, not signalled. Null when it could not be created (the
// last-error value says why); when it already existed the last-error value is
// 183 (already exists) and AlreadyExisted() answers true.
std::unique_ptr<NamedEvent> CreateNamedEvent(const char* name);

// Opens the event by name from any process and signals it once.
bool SignalNamedEvent(const char* name);

}  // namespace orvanta
