// The host's timings and the comparison of status records; the codes of
// the record and of the controls are the platform's (platform/service_side.h).
#pragma once

#include <cstdint>

#include "platform/service_side.h"

namespace orvanta {

namespace service {
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
