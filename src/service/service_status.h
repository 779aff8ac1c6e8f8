// The codes of the service status record that the host sends and of the
// controls it receives, with the values of the Windows service manager.
#pragma once

#include <cstdint>

#include "platform/service_side.h"

namespace orvanta {

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

constexpr uint32_t kPendingWaitHintMs = 3000;
constexpr uint32_t kWindDownGraceMs = 250;
}  // namespace service

inline bool operator==(const ServiceStatus& a, const ServiceStatus& b) {
  return a.serviceType == b.serviceType && a.currentState == b.currentState &&
         a.controlsAccepted == b.controlsAccepted && a.win32ExitCode == b.win32ExitCode &&
         a.serviceSpecificExitCode == b.serviceSpecificExitCode && a.checkPoint == b.checkPoint &&
         a.waitHint == b.waitHint;
}

}  // namespace orvanta
