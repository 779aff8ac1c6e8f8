// UTC to local time with the time-zone rules in force (TZ on Linux, the
// system's zone on Windows).
#pragma once

#include "platform/system_time.h"

namespace orvanta {

bool UtcToLocalTime(const SystemTime& utc, SystemTime& local);

}  // namespace orvanta
