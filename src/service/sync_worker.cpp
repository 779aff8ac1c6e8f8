#include "service/sync_worker.h"

#include <utility>

namespace orvanta {

SyncWorker::SyncWorker(WorkerEnvironment environment) : env_(std::move(environment)) {}

void SyncWorker::SafePoint() {
  if (env_.pauseGate != nullptr) env_.pauseGate->Pass();
}

int SyncWorker::Run() {
  // Start-up: up to ten attempts, 5 s apart, until one sets the clock. The
  // named event is not looked at here; a stop given now is kept for the first wait.
  for (uint32_t attempts = 0;;) {
    env_.sleeper->Sleep(kStartupPauseMs);
    SafePoint();
    if (env_.synchronize()) break;
    if (++attempts >= kStartupAttempts) break;
  }
  // Periodic: the period read afresh before every wait; a wait that ran out
  // (or failed) is followed by a pass, a signal ends the worker.
  for (;;) {
    const uint32_t waitMs = env_.readPeriodMinutes() * kMillisecondsPerMinute;
    const NamedEvent::WaitResult result =
        env_.stopEvent != nullptr ? env_.stopEvent->Wait(waitMs) : NamedEvent::WaitResult::kFailed;
    // A wait that failed returned at once: keep the period all the same, or
    // a broken wait would turn the worker into a flood of queries.
    if (result == NamedEvent::WaitResult::kFailed) env_.sleeper->Sleep(waitMs);
    SafePoint();
    if (result == NamedEvent::WaitResult::kSignalled) return 0;
    env_.synchronize();
  }
}

void SyncWorker::ThreadMain() {
  Run();
  if (env_.signalStop) env_.signalStop();
}

}  // namespace orvanta
