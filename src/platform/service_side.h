// The platform's service side, as the service host needs it: a dispatcher
// that runs the service main routine on a thread of its own and delivers
// control codes on the calling thread, the registration of the control
// handler, and the status reports.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvanta {

// The codes of the status record and of the controls, with the values of the
// Windows service manager on every platform.
namespace service {
constexpr uint32_t kWin32OwnProcess = 0x10;

constexpr uint32_t kStopped = 1;
constexpr uint32_t kStartPending = 2;
constexpr uint32_t kStopPending = 3;
constexpr uint32_t kRunning = 4;
constexpr uint32_t kPaused = 7;

constexpr uint32_t kAcceptStop = 1;
constexpr uint32_t kAcceptPauseContinue = 2;

constexpr uint32_t kControlStop = 1;
constexpr uint32_t kControlPause = 2;
constexpr uint32_t kControlContinue = 3;
constexpr uint32_t kControlInterrogate = 4;
}  // namespace service

// Seven 32-bit fields in the order of the Windows SERVICE_STATUS.
struct ServiceStatus {
  uint32_t serviceType = 0;
  uint32_t currentState = 0;
  uint32_t controlsAccepted = 0;
  uint32_t win32ExitCode = 0;
  uint32_t serviceSpecificExitCode = 0;
  uint32_t checkPoint = 0;
  uint32_t waitHint = 0;
};

// Enters the dispatcher for one service. Returns once the service has
// reported stopped (true), or at once (false) when this process was not
// started as that service.
bool RunServiceDispatcher(const char* serviceName, std::function<void()> serviceMain,
                          std::function<void(uint32_t control)> onControl);

// From inside serviceMain: registers the handler that delivers controls to
// onControl. False when refused.
bool RegisterServiceControlHandler(const char* serviceName);

// Sends a whole status record; true when the manager took it.
bool SendServiceStatus(const ServiceStatus& status);

// A line that says how the service fares, shown beside its state where the
// manager has room for one (systemd's STATUS=); true when nothing is to be sent.
bool SendServiceStatusText(const std::string& text);

}  // namespace orvanta
