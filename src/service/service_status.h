// The host's timings and the comparison of status records; the codes of
// the record and of the controls are the platform's (platform/service_side.h).
#pragma once

#include <cstdint>

#include "platform/service_side.h"

namespace orvanta {

namespace service {
constexpr uint32_t kPendingWaitHintMs = 3000;
constexpr uint32_t kWindDownGraceMs = 250;

// Exit codes of a stopped report after a failure: no worker thread could be
// made (ERROR_SERVICE_NO_THREAD), or a code of ours behind
// ERROR_SERVICE_SPECIFIC_ERROR: 1, the manager refused a status report.
constexpr uint32_t kErrorServiceNoThread = 1054;
constexpr uint32_t kErrorServiceSpecific = 1066;
constexpr uint32_t kSpecificReportRefused = 1;
}  // namespace service


inline bool operator==(const ServiceStatus& a, const ServiceStatus& b) {
  return a.serviceType == b.serviceType && a.currentState == b.currentState &&
         a.controlsAccepted == b.controlsAccepted && a.win32ExitCode == b.win32ExitCode &&
         a.serviceSpecificExitCode == b.serviceSpecificExitCode && a.checkPoint == b.checkPoint &&
         a.waitHint == b.waitHint;
}

}  // namespace orvanta
