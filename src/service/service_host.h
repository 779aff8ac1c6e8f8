// The service host: the service main routine, the control handler and the
// status record they both report through. Platform-neutral: the platform's
// service side (the Windows service manager, or systemd) sits behind
// ServicePlatform, and the worker runs behind a pause gate.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/named_event.h"
#include "platform/sleeper.h"
#include "platform/system_log.h"
#include "service/manual_reset_event.h"
#include "service/pause_gate.h"
#include "service/service_status.h"

namespace orvanta {

// What the host needs of the platform's service side.
class ServicePlatform {
 public:
  virtual ~ServicePlatform() = default;
  // Registers the control handler under the service name; false when refused.
  virtual bool RegisterHandler(const char* serviceName) = 0;
  // Sends the whole record; true when the manager took it.
  virtual bool SendStatus(const ServiceStatus& status) = 0;
  // Runs body on a thread of its own, never joined; false when it could not start.
  virtual bool StartThread(std::function<void()> body) = 0;
};

class ServiceHost : public std::enable_shared_from_this<ServiceHost> {
 public:
  // runWorker runs on the worker thread; it gets the host for its pause gate
  // and its stop hook. The host is held shared: a worker that outlives the
  // dispatcher keeps it alive.
  static std::shared_ptr<ServiceHost> Create(ServicePlatform& platform, Sleeper& sleeper,
                                             std::shared_ptr<NamedEvent> namedEvent,
                                             std::function<void(ServiceHost&)> runWorker);

  // The service main routine: registers, reports start-up, starts the worker,
  // waits for the stop event and winds down to the stopped report.
  void ServiceMain();

  // The control handler.
  void OnControl(uint32_t control);

  // Sends a report with the given state; a refused report stops the service.
  bool ReportStatus(uint32_t state, uint32_t win32ExitCode, uint32_t checkPoint, uint32_t waitHint);

  // Signals the stop event while it exists; no effect before or after. A stop
  // asked for before the event exists is kept for it.
  void SignalStop();

  // Where the host records that the service started (with startedText),
  // was paused, continued or stopped, or could not start its worker. Set
  // before the dispatcher runs; without it nothing is recorded.
  void SetLog(LogSink& log, std::string startedText) {
    log_ = &log;
    startedText_ = std::move(startedText);
  }

  PauseGate& Gate() { return gate_; }
  uint32_t CurrentState() const;
  // Whether the service ended because it could not run (its stopped report
  // carried an exit code other than 0, or none could be sent at all).
  bool Failed() const { return failed_; }

 private:
  ServiceHost(ServicePlatform& platform, Sleeper& sleeper, std::shared_ptr<NamedEvent> namedEvent,
              std::function<void(ServiceHost&)> runWorker);

  // Writes the record's varying fields and sends it; caller holds statusMutex_.
  bool SendLocked(uint32_t state, uint32_t win32ExitCode, uint32_t checkPoint, uint32_t waitHint);
  bool Send(uint32_t state, uint32_t checkPoint, uint32_t waitHint);
  void Record(LogLevel level, uint32_t eventId, const std::string& text);
  void OpenStopEvent();
  void CloseStopEvent();
  enum ExitReason { kExitNormally, kExitNoWorkerThread, kExitReportRefused };
  void WindDown(bool closeStopEvent, ExitReason reason = kExitNormally);

  ServicePlatform& platform_;
  Sleeper& sleeper_;
  std::shared_ptr<NamedEvent> namedEvent_;
  std::function<void(ServiceHost&)> runWorker_;
  PauseGate gate_;

  // The record has two writers, the service main thread and the handler's.
  mutable std::mutex statusMutex_;
  ServiceStatus status_;
  bool registered_ = false;

  // The stop event lives in this slot from its creation to its close; taking
  // it out under the lock keeps a late signal off a closed event.
  std::mutex stopMutex_;
  std::shared_ptr<ManualResetEvent> stopEvent_;
  bool stopClosed_ = false;
  bool stopAskedEarly_ = false;
  std::atomic<bool> failed_{false};
  LogSink* log_ = nullptr;
  std::string startedText_;
};

}  // namespace orvanta
