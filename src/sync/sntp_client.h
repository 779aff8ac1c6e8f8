// The client side of SNTP: one request to one server, one wait, one reply.
#pragma once

#include <cstdint>

#include "sync/ntp_timestamp.h"
#include "sync/sntp_reply.h"

namespace orvanta {

constexpr int kNtpPort = 123;
constexpr uint32_t kDefaultReplyTimeoutMs = 5000;

class SntpClient {
 public:
  SntpClient() = default;
  virtual ~SntpClient() = default;
  SntpClient(const SntpClient&) = delete;
  SntpClient& operator=(const SntpClient&) = delete;

  // Asks host (a dotted-quad IPv4 address or a host name) on port for the
  // time: sends one 48-byte request stamped with the current UTC time, waits
  // up to replyTimeoutMs once (no retransmission) and reads one datagram.
  // True when a usable reply came; reply then holds its timestamps, delay and
  // offset. False otherwise, with the reason in the last-error value: the
  // failing socket call's code, the name lookup's code (nothing is sent
  // then), 10060 when nothing arrived in time, 10040 for a datagram over 68
  // bytes, or one of the reply codes of sync/sntp_errors.h. On false the
  // reply is untouched, except arrival once a datagram was found waiting.
  bool Query(const char* host, int port, SntpReply& reply);

  // Setting the clock: grant the right, set, withdraw. The grant alone;
  // true also when the account does not hold the right (the change then fails).
  bool EnableClockPrivilege();
  // Sets the clock to the timestamp, read in the era of the clock's own time.
  // True when the system accepted the new time; the right is withdrawn again
  // in every case.
  bool SetSystemClock(const NtpTimestamp& timestamp);

  // Longest wait for the reply, in milliseconds.
  uint32_t replyTimeoutMs = kDefaultReplyTimeoutMs;
};

}  // namespace orvanta
