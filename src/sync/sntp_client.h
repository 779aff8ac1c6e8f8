// The client side of SNTP: one request to one server, one wait, one reply.
// It measures and never sets the clock: the pass does that.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/host_resolver.h"
#include "sync/ntp_timestamp.h"
#include "sync/sntp_reply.h"

namespace orvanta {

constexpr int kNtpPort = 123;
constexpr uint32_t kDefaultReplyTimeoutMs = 5000;

class SntpClient {
 public:
  // The clock stamps the request and the reply's arrival; the resolver
  // turns a host name into an address.
  SntpClient(Clock& clock, HostResolver& resolver) : clock_(clock), resolver_(resolver) {}
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

  // The IPv4 address (network byte order) the last query asked; false when
  // its host did not resolve.
  bool LastAddress(uint32_t& address) const;

  // Longest wait for the reply, in milliseconds.
  uint32_t replyTimeoutMs = kDefaultReplyTimeoutMs;

 private:
  bool addressKnown_ = false;
  uint32_t address_ = 0;
  Clock& clock_;
  HostResolver& resolver_;
};

}  // namespace orvanta
