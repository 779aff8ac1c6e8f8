// Whether a datagram that came back is an answer worth using. Each test is a
// predicate of its own, true when the reply has that fault; ReplyRejection
// combines them in one order and names the first fault found.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sync/ntp_timestamp.h"

namespace orvanta {

// Bytes of an NTP message without authenticator.
constexpr std::size_t kNtpMessageSize = 48;
// Mode of a server's answer to a client (bits 2-0 of the first byte).
constexpr uint32_t kNtpModeServer = 4;
// Leap indicator "alarm": the server's clock is not synchronized.
constexpr uint32_t kNtpLeapAlarm = 3;
constexpr uint32_t kNtpMaxStratum = 15;

// The fields of a received datagram the checks look at.
struct ReplyFields {
  std::size_t length = 0;  // bytes in the datagram
  uint32_t leapIndicator = 0;
  uint32_t mode = 0;
  uint32_t stratum = 0;
  NtpTimestamp originate;
  NtpTimestamp receive;
  NtpTimestamp transmit;
  NtpTimestamp arrival;  // ours: when the reply was found waiting
};

// The fields of a datagram of length bytes (bytes it lacks count as zero),
// found waiting at arrival.
ReplyFields DecodeReply(const uint8_t* datagram, std::size_t length, const NtpTimestamp& arrival);

bool IsTooShort(const ReplyFields& reply);
bool IsNotFromServer(const ReplyFields& reply);
// True unless originate is exactly the transmit timestamp sent, all 64 bits.
bool HasBogusOriginate(const ReplyFields& reply, const NtpTimestamp& sent);
bool IsKissOfDeath(const ReplyFields& reply);
bool IsUnsynchronized(const ReplyFields& reply);
bool HasBadStratum(const ReplyFields& reply);
bool HasZeroTimestamp(const ReplyFields& reply);
// The round trip (T4 - T1) - (T3 - T2) comes out below zero: the server
// claims to have held the request longer than it was away.
bool HasNegativeDelay(const ReplyFields& reply);

// The round-trip delay of a reply, in seconds.
double RoundTripDelay(const ReplyFields& reply);

// 0 when the reply may be used, else the code of its first fault
// (sync/sntp_errors.h). The order: is it an answer to our request at all
// (length, mode, originate); will the server serve (kiss-o'-death, which
// usually carries the alarm leap indicator too, before the alarm itself;
// then the stratum); are its timestamps there and do they add up.
uint32_t ReplyRejection(const ReplyFields& reply, const NtpTimestamp& sent);

}  // namespace orvanta
