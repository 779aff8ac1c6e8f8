// The reply decoder and its checks on any datagram: whatever arrives, the
// verdict is defined, and a reply is taken only when it answers our request
// with sane fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sync/reply_checks.h"
#include "sync/sntp_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first 16 bytes choose our transmit and arrival times; the rest is
  // the datagram.
  if (size < 16) return 0;
  const orvanta::NtpTimestamp sent = orvanta::NtpTimestamp::FromNetwork(data);
  const orvanta::NtpTimestamp arrival = orvanta::NtpTimestamp::FromNetwork(data + 8);
  const orvanta::ReplyFields fields = orvanta::DecodeReply(data + 16, size - 16, arrival);
  if (orvanta::ReplyRejection(fields, sent) == 0) {
    const bool sane = fields.length >= orvanta::kNtpMessageSize && fields.mode == orvanta::kNtpModeServer &&
                      fields.originate == sent && fields.stratum >= 1 && fields.stratum <= 15 &&
                      fields.leapIndicator != 3 && orvanta::RoundTripDelay(fields) >= 0;
    if (!sane) std::abort();
  }
  return 0;
}
