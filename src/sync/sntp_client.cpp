#include "sync/sntp_client.h"

#include <cstddef>

#include "platform/last_error.h"
#include "platform/udp_socket.h"
#include "sync/reply_checks.h"

namespace orvanta {

namespace {

// The message layout (RFC 4330): byte offsets of the fields we write or read.
constexpr std::size_t kTransmitOffset = 40;
// Leap indicator 0, version 3, mode 3 (client).
constexpr uint8_t kClientRequestHeader = 0x1B;
// Room for the message and the optional authenticator (4-byte key identifier,
// 16-byte digest). A longer datagram is refused by the receive.
constexpr std::size_t kReplyBufferSize = 68;

struct Request {
  uint8_t bytes[kNtpMessageSize] = {};
};

Request BuildRequest(const NtpTimestamp& transmit) {
  Request request;
  request.bytes[0] = kClientRequestHeader;
  transmit.ToNetwork(request.bytes + kTransmitOffset);
  return request;
}

}  // namespace

bool SntpClient::LastAddress(uint32_t& address) const {
  address = address_;
  return addressKnown_;
}

bool SntpClient::Query(const char* host, int port, SntpReply& reply) {
  addressKnown_ = false;
  if (host == nullptr || port < 0 || port > 0xFFFF) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  // A dotted quad never reaches the resolver; a name that does not resolve
  // ends the query before anything is sent.
  addressKnown_ = UdpSocket::ParseDottedQuad(host, address_) || resolver_.Resolve(host, address_);
  if (!addressKnown_) return false;
  // The socket closes on every way out without touching the last-error value.
  UdpSocket socket;
  if (!socket.IsOpen()) return false;
  if (!socket.Connect(address_, static_cast<uint16_t>(port))) return false;

  const NtpTimestamp sent = NtpTimestamp::Now(clock_);
  const Request request = BuildRequest(sent);
  if (!socket.Send(request.bytes, sizeof request.bytes)) return false;

  bool readable = false;
  if (!socket.WaitReadable(readable, replyTimeoutMs) || !readable) {
    SetLastError(error::kWsaTimedOut);
    return false;
  }
  reply.arrival = NtpTimestamp::Now(clock_);

  uint8_t buffer[kReplyBufferSize] = {};
  const int received = socket.Receive(buffer, sizeof buffer);
  if (received == kSocketError) return false;

  const ReplyFields fields = DecodeReply(buffer, static_cast<std::size_t>(received), reply.arrival);
  const uint32_t rejection = ReplyRejection(fields, sent);
  if (rejection != error::kSuccess) {
    SetLastError(rejection);
    return false;
  }

  reply.leapIndicator = static_cast<int32_t>(fields.leapIndicator);
  reply.stratum = static_cast<int32_t>(fields.stratum);
  reply.originate = fields.originate;
  reply.receive = fields.receive;
  reply.transmit = fields.transmit;
  const NtpTimestamp& t1 = reply.originate;
  const NtpTimestamp& t2 = reply.receive;
  const NtpTimestamp& t3 = reply.transmit;
  const NtpTimestamp& t4 = reply.arrival;
  reply.delay = RoundTripDelay(fields);
  // Differences across the 2036 wrap of the seconds count as the short way round.
  reply.offset = (t2.SignedSecondsSince(t1) + t3.SignedSecondsSince(t4)) * 0.5;
  return true;
}

}  // namespace orvanta
