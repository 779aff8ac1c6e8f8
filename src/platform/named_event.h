// A machine-wide, automatically resetting event that other processes find by
// name: the stop signal of the background worker and the single-instance
// guard of the background roles.
//
// Windows: a kernel event in the global namespace (CreateEventA).
// Linux: a flock'ed lock file as the guard and a datagram socket for the
// signals, both in a runtime folder only root or the holder's own user may
// write (posix/named_event_posix.cpp). The guard dies with its holder; a
// signal is a queued datagram, kept until the next wait; only root or the
// holder's own user may signal.
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

// Opens the event by name from any process and signals it once. False
// whenever the signal was not given: nobody holds the event, or (Linux) its
// queue is full.
bool SignalNamedEvent(const char* name);

}  // namespace orvanta
