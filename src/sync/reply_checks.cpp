#include "sync/reply_checks.h"

#include <cstring>

#include "platform/last_error.h"
#include "sync/sntp_errors.h"

namespace orvanta {

namespace {

// Byte offsets in the message (RFC 4330).
constexpr std::size_t kStratumOffset = 1;
constexpr std::size_t kOriginateOffset = 24;
constexpr std::size_t kReceiveOffset = 32;
constexpr std::size_t kTransmitOffset = 40;

}  // namespace

ReplyFields DecodeReply(const uint8_t* datagram, std::size_t length, const NtpTimestamp& arrival) {
  uint8_t message[kNtpMessageSize] = {};
  if (length != 0) std::memcpy(message, datagram, length < sizeof message ? length : sizeof message);
  ReplyFields fields;
  fields.length = length;
  fields.leapIndicator = message[0] >> 6;
  fields.mode = message[0] & 0x07u;
  fields.stratum = message[kStratumOffset];
  fields.originate = NtpTimestamp::FromNetwork(message + kOriginateOffset);
  fields.receive = NtpTimestamp::FromNetwork(message + kReceiveOffset);
  fields.transmit = NtpTimestamp::FromNetwork(message + kTransmitOffset);
  fields.arrival = arrival;
  return fields;
}

bool IsTooShort(const ReplyFields& reply) { return reply.length < kNtpMessageSize; }

bool IsNotFromServer(const ReplyFields& reply) { return reply.mode != kNtpModeServer; }

bool HasBogusOriginate(const ReplyFields& reply, const NtpTimestamp& sent) {
  return reply.originate != sent;
}

bool IsKissOfDeath(const ReplyFields& reply) { return reply.stratum == 0; }

bool IsUnsynchronized(const ReplyFields& reply) { return reply.leapIndicator == kNtpLeapAlarm; }

bool HasBadStratum(const ReplyFields& reply) { return reply.stratum > kNtpMaxStratum; }

bool HasZeroTimestamp(const ReplyFields& reply) {
  return reply.receive == NtpTimestamp() || reply.transmit == NtpTimestamp();
}

double RoundTripDelay(const ReplyFields& reply) {
  return reply.arrival.SignedSecondsSince(reply.originate) - reply.transmit.SignedSecondsSince(reply.receive);
}

bool HasNegativeDelay(const ReplyFields& reply) { return RoundTripDelay(reply) < 0; }

uint32_t ReplyRejection(const ReplyFields& reply, const NtpTimestamp& sent) {
  if (IsTooShort(reply)) return error::kReplyTooShort;
  if (IsNotFromServer(reply)) return error::kReplyNotServer;
  if (HasBogusOriginate(reply, sent)) return error::kReplyBogusOriginate;
  if (IsKissOfDeath(reply)) return error::kReplyKissOfDeath;
  if (IsUnsynchronized(reply)) return error::kReplyUnsynchronized;
  if (HasBadStratum(reply)) return error::kReplyBadStratum;
  if (HasZeroTimestamp(reply)) return error::kReplyZeroTimestamp;
  if (HasNegativeDelay(reply)) return error::kReplyNegativeDelay;
  return error::kSuccess;
}

}  // namespace orvanta
