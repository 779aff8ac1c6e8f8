#include "sync/sntp_client.h"

#include <cstddef>

#include "platform/last_error.h"
#include "platform/udp_socket.h"
#include "sync/reply_checks.h"

namespace orvanta {

namespace {

// The message layout (RFC 4330): byte offsets of the fields we write or read.
constexpr std::size_t kTransmitOffset = 40;
// Mode 3, client, in the first byte's low bits; the version above them.
constexpr uint8_t kModeClient = 3;
constexpr int kVersionShift = 3;
// Room for the message and the optional authenticator (4-byte key identifier,
// 16-byte digest). A longer datagram is refused by the receive.
constexpr std::size_t kReplyBufferSize = 68;

}  // namespace

bool SntpClient::LastAddress(uint32_t& address) const {
  address = address_;
  return addressKnown_;
}

bool SntpClient::Exchange(const char* host, int port, const RequestBuilder& build, std::size_t capacity,
                          std::vector<uint8_t>& answer, NtpTimestamp& sent, NtpTimestamp& arrival) {
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

  std::vector<uint8_t> request;
  sent = NtpTimestamp::Now(clock_);
  if (!build(sent, request)) return false;
  if (!socket.Send(request.data(), request.size())) return false;

  bool readable = false;
  if (!socket.WaitReadable(readable, replyTimeoutMs) || !readable) {
    SetLastError(error::kWsaTimedOut);
    return false;
  }
  arrival = NtpTimestamp::Now(clock_);
  answer.assign(capacity, 0);
  const int received = socket.Receive(answer.data(), answer.size());
  if (received == kSocketError) return false;
  answer.resize(static_cast<std::size_t>(received));
  return true;
}

bool SntpClient::Query(const char* host, int port, SntpReply& reply) {
  const auto build = [](const NtpTimestamp& sent, std::vector<uint8_t>& request) {
    request = ClientRequest(sent, kSntpVersion);
    return true;
  };
  // A datagram found waiting dates the reply even when it is refused.
  std::vector<uint8_t> answer;
  NtpTimestamp sent;
  return Exchange(host, port, build, kReplyBufferSize, answer, sent, reply.arrival) &&
         MeasureReply(answer, sent, reply.arrival, reply);
}

std::vector<uint8_t> ClientRequest(const NtpTimestamp& sent, int version) {
  std::vector<uint8_t> request(kNtpMessageSize, 0);
  request[0] = static_cast<uint8_t>(version << kVersionShift | kModeClient);  // leap indicator 0
  sent.ToNetwork(request.data() + kTransmitOffset);
  return request;
}

bool MeasureReply(const std::vector<uint8_t>& datagram, const NtpTimestamp& sent, const NtpTimestamp& arrival,
                  SntpReply& reply) {
  const ReplyFields fields = DecodeReply(datagram.data(), datagram.size(), arrival);
  const uint32_t rejection = ReplyRejection(fields, sent);
  if (rejection != error::kSuccess) {
    SetLastError(rejection);
    return false;
  }
  reply.arrival = arrival;
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
  reply.authenticated = false;
  return true;
}

}  // namespace orvanta
