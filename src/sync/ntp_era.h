// NTP timestamps carry no era: their seconds wrap every 2^32 s, first on
// 2036-02-07 06:28:16 UTC. These helpers place a timestamp in the era whose
// instant lies nearest a reference time (the clock's own), so the clock is
// set right before, across and after a wrap.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/system_time.h"
#include "sync/ntp_timestamp.h"

namespace orvanta {

// Whole seconds from 1900-01-01 00:00:00 UTC to a UTC calendar time, without
// the 32-bit wrap (negative before 1900).
int64_t SecondsSince1900(const SystemTime& utc);

// The UTC calendar time of a timestamp, read in the era nearest the reference
// (within 68 years of it). Milliseconds are rounded as ToSystemTime rounds them.
SystemTime ToSystemTimeNearestEra(const NtpTimestamp& timestamp, const UtcInstant& reference);

// The instant of a timestamp, read in the era nearest the reference, to the
// nearest nanosecond.
UtcInstant ToInstantNearestEra(const NtpTimestamp& timestamp, const UtcInstant& reference);

}  // namespace orvanta
