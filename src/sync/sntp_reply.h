// What one SNTP exchange yields: the server's timestamps, the local arrival
// time, and the round-trip delay and clock offset derived from them.
#pragma once

#include <cstdint>

#include "sync/ntp_timestamp.h"

namespace orvanta {

struct SntpReply {
  int32_t leapIndicator = 0;  // bits 7-6 of the first byte (0-3)
  int32_t stratum = 0;        // 1 (primary) to 15
  NtpTimestamp originate;     // T1: the server's copy of the request's transmit time
  NtpTimestamp receive;       // T2: when the server received the request
  NtpTimestamp transmit;      // T3: when the server sent the reply
  NtpTimestamp arrival;       // T4: local UTC time at which the reply was found waiting
  double delay = 0.0;         // round trip in seconds: (T4 - T1) - (T3 - T2)
  double offset = 0.0;        // seconds to add to the local clock: ((T2 - T1) + (T3 - T4)) / 2
  bool authenticated = false;  // NTS vouched for the reply
};

}  // namespace orvanta
