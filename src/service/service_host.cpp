#include "service/service_host.h"

#include <utility>

#include "service/service_names.h"

namespace orvanta {

using namespace service;

std::shared_ptr<ServiceHost> ServiceHost::Create(ServicePlatform& platform, Sleeper& sleeper,
                                                 std::shared_ptr<NamedEvent> namedEvent,
                                                 std::function<void(ServiceHost&)> runWorker) {
  return std::shared_ptr<ServiceHost>(
      new ServiceHost(platform, sleeper, std::move(namedEvent), std::move(runWorker)));
}

ServiceHost::ServiceHost(ServicePlatform& platform, Sleeper& sleeper, std::shared_ptr<NamedEvent> namedEvent,
                         std::function<void(ServiceHost&)> runWorker)
    : platform_(platform), sleeper_(sleeper), namedEvent_(std::move(namedEvent)), runWorker_(std::move(runWorker)) {}

uint32_t ServiceHost::CurrentState() const {
  std::lock_guard<std::mutex> lock(statusMutex_);
  return status_.currentState;
}

bool ServiceHost::SendLocked(uint32_t state, uint32_t win32ExitCode, uint32_t checkPoint, uint32_t waitHint) {
  status_.currentState = state;
  status_.controlsAccepted = state == kStartPending ? 0 : kAcceptStop | kAcceptPauseContinue;
  status_.win32ExitCode = win32ExitCode;
  status_.checkPoint = checkPoint;
  status_.waitHint = waitHint;
  return platform_.SendStatus(status_);
}

bool ServiceHost::Send(uint32_t state, uint32_t checkPoint, uint32_t waitHint) {
  bool sent;
  {
    std::lock_guard<std::mutex> lock(statusMutex_);
    sent = SendLocked(state, 0, checkPoint, waitHint);
  }
  if (!sent) SignalStop();
  return sent;
}

bool ServiceHost::ReportStatus(uint32_t state, uint32_t win32ExitCode, uint32_t checkPoint, uint32_t waitHint) {
  bool sent;
  {
    std::lock_guard<std::mutex> lock(statusMutex_);
    sent = SendLocked(state, win32ExitCode, checkPoint, waitHint);
  }
  if (!sent) SignalStop();
  return sent;
}

void ServiceHost::SignalStop() {
  std::shared_ptr<ManualResetEvent> event;
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    if (stopClosed_) return;
    if (!stopEvent_) {
      stopAskedEarly_ = true;
      return;
    }
    event = stopEvent_;
  }
  event->Set();
}

void ServiceHost::OpenStopEvent() {
  std::lock_guard<std::mutex> lock(stopMutex_);
  stopEvent_ = std::make_shared<ManualResetEvent>();
  if (stopAskedEarly_) stopEvent_->Set();
}

void ServiceHost::CloseStopEvent() {
  std::lock_guard<std::mutex> lock(stopMutex_);
  stopEvent_.reset();
  stopClosed_ = true;
}

void ServiceHost::ServiceMain() {
  if (!platform_.RegisterHandler(kServiceName)) {
    failed_ = true;  // nobody can be told: the process's status says it
    WindDown(false);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(statusMutex_);
    registered_ = true;
    status_.serviceType = kWin32OwnProcess;
    status_.serviceSpecificExitCode = 0;
  }
  if (!Send(kStartPending, 1, kPendingWaitHintMs)) return WindDown(true, kExitReportRefused);
  OpenStopEvent();
  if (!Send(kStartPending, 2, kPendingWaitHintMs)) return WindDown(true, kExitReportRefused);

  std::shared_ptr<ServiceHost> self = shared_from_this();
  if (!platform_.StartThread([self] { self->runWorker_(*self); })) {
    Record(LogLevel::kError, log_event::kWorkerNotStarted, "The service could not start its worker thread.");
    return WindDown(true, kExitNoWorkerThread);
  }
  if (!ReportStatus(kRunning, 0, 0, 0)) return WindDown(true, kExitReportRefused);
  Record(LogLevel::kInformation, log_event::kServiceStarted, startedText_);

  std::shared_ptr<ManualResetEvent> stop;
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stop = stopEvent_;
  }
  stop->Wait();
  WindDown(true);
}

void ServiceHost::WindDown(bool closeStopEvent, ExitReason reason) {
  if (closeStopEvent) CloseStopEvent();
  // Ends a waiting worker; one in a pass ends at its next wait.
  if (namedEvent_) namedEvent_->Signal();
  sleeper_.Sleep(kWindDownGraceMs);
  std::lock_guard<std::mutex> lock(statusMutex_);
  uint32_t win32ExitCode = 0;
  switch (reason) {
    case kExitNormally: break;
    case kExitNoWorkerThread: win32ExitCode = kErrorServiceNoThread; break;
    case kExitReportRefused:
      win32ExitCode = kErrorServiceSpecific;
      status_.serviceSpecificExitCode = kSpecificReportRefused;
      break;
  }
  if (win32ExitCode != 0) failed_ = true;
  if (registered_) SendLocked(kStopped, win32ExitCode, 0, 0);  // once; a refusal changes nothing now
  Record(LogLevel::kInformation, log_event::kServiceStopped, "The service stopped.");
}

void ServiceHost::Record(LogLevel level, uint32_t eventId, const std::string& text) {
  if (log_ != nullptr) log_->Write(level, eventId, text);
}

void ServiceHost::OnControl(uint32_t control) {
  bool stop = false;
  bool refused = false;
  {
    std::lock_guard<std::mutex> lock(statusMutex_);
    const uint32_t state = status_.currentState;
    if (state == kStartPending) {
      // Only a stop counts this early; it is kept for the stop event.
      stop = control == kControlStop;
    } else if (state == kRunning || state == kPaused) {
      switch (control) {
        case kControlStop:
          refused = !SendLocked(kStopPending, 0, 1, kPendingWaitHintMs);
          stop = true;
          break;
        case kControlPause:
          if (state == kRunning) {
            gate_.Close();
            Record(LogLevel::kInformation, log_event::kServicePaused, "The service was paused.");
          }
          refused = !SendLocked(kPaused, 0, 0, 0);
          break;
        case kControlContinue:
          if (state == kPaused) {
            gate_.Open();
            Record(LogLevel::kInformation, log_event::kServiceContinued, "The service continued.");
          }
          refused = !SendLocked(kRunning, 0, 0, 0);
          break;
        default:  // interrogate, and any other code: the state as it stands
          refused = !SendLocked(state, 0, 0, 0);
          break;
      }
    }
    // Stop pending or stopped: the service is going anyway.
  }
  if (stop || refused) SignalStop();
}

}  // namespace orvanta
