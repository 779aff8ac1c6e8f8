// The client side of SNTP: one request to one server, one wait, one reply.
// It measures and never sets the clock: the pass does that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"
#include "platform/host_resolver.h"
#include "sync/ntp_timestamp.h"
#include "sync/sntp_reply.h"

namespace orvanta {

constexpr int kNtpPort = 123;
constexpr uint32_t kDefaultReplyTimeoutMs = 5000;
// A plain request is SNTP version 3; NTS needs version 4 for its extension fields.
constexpr int kSntpVersion = 3;
constexpr int kNtpVersion4 = 4;

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

  // One exchange of any request: resolves host as Query does, has build
  // write the request stamped with sent (read just before), sends it, waits
  // as Query does and reads one datagram of at most capacity bytes into
  // answer, found waiting at arrival (set once one is). False with the reason in the
  // last-error value when no datagram came or build failed.
  using RequestBuilder = std::function<bool(const NtpTimestamp& sent, std::vector<uint8_t>& request)>;
  bool Exchange(const char* host, int port, const RequestBuilder& build, std::size_t capacity,
                std::vector<uint8_t>& answer, NtpTimestamp& sent, NtpTimestamp& arrival);

  HostResolver& Resolver() { return resolver_; }

  // Longest wait for the reply, in milliseconds.
  uint32_t replyTimeoutMs = kDefaultReplyTimeoutMs;

 private:
  bool addressKnown_ = false;
  uint32_t address_ = 0;
  Clock& clock_;
  HostResolver& resolver_;
};

// A 48-byte client request of the version, stamped sent, all else zero.
std::vector<uint8_t> ClientRequest(const NtpTimestamp& sent, int version);

// The measurement from a datagram answering a request stamped sent: true
// when the reply checks pass, with reply filled in (arrival included); else
// false with the check's code in the last-error value, reply untouched.
bool MeasureReply(const std::vector<uint8_t>& datagram, const NtpTimestamp& sent, const NtpTimestamp& arrival,
                  SntpReply& reply);

}  // namespace orvanta
