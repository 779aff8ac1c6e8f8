// Last-error codes of a query whose reply arrived but cannot be used. They
// carry bit 29, the customer bit of Windows error codes, so they never collide
// with a system or Winsock code. The other failures of a query report the
// platform's codes: 10060 when no reply came in time, 10040 for a datagram
// longer than 68 bytes, 11001 for an unknown host name, and the failing
// socket call's own code otherwise.
#pragma once

#include <cstdint>

namespace orvanta::error {

// The datagram has fewer than the 48 bytes of an NTP message (0 included).
constexpr uint32_t kReplyTooShort = 0x20000101;
// The mode (bits 2-0 of the first byte) is not 4, server.
constexpr uint32_t kReplyNotServer = 0x20000102;
// The leap indicator is 3: the server's clock is not synchronized.
constexpr uint32_t kReplyUnsynchronized = 0x20000103;
// Stratum 0: a kiss-o'-death, the server refuses to serve (rate limit, denial).
constexpr uint32_t kReplyKissOfDeath = 0x20000104;
// Stratum above 15: not a usable time source.
constexpr uint32_t kReplyBadStratum = 0x20000105;
// The originate timestamp is not the transmit timestamp of our request: a
// stale, misdirected or forged datagram.
constexpr uint32_t kReplyBogusOriginate = 0x20000106;
// The receive or the transmit timestamp is zero.
constexpr uint32_t kReplyZeroTimestamp = 0x20000107;
// The round-trip delay comes out negative: the timestamps cannot be true.
constexpr uint32_t kReplyNegativeDelay = 0x20000108;

// Network Time Security: why an nts:// server could not be used. Such a
// server is never asked without NTS instead.
// The entry is not nts://HOST or nts://HOST:PORT with a port of 1-65535.
constexpr uint32_t kNtsBadEntry = 0x20000120;
// The TLS connection to the key exchange failed (handshake, protocol, ALPN).
constexpr uint32_t kNtsTlsFailed = 0x20000121;
// The server's certificate does not verify against the trust anchors.
constexpr uint32_t kNtsCertificateNotTrusted = 0x20000122;
// The key exchange answer breaks the record format, ends early, or makes
// a critical demand this client does not know.
constexpr uint32_t kNtsKeMalformed = 0x20000123;
// The key exchange answer carries an error record.
constexpr uint32_t kNtsKeRefused = 0x20000124;
// No protocol or AEAD algorithm in common with the server.
constexpr uint32_t kNtsNoCommonAlgorithm = 0x20000125;
// The key exchange granted no cookie.
constexpr uint32_t kNtsNoCookie = 0x20000126;
// The time reply's authenticator does not verify, or it lacks one, or it
// does not carry our unique identifier.
constexpr uint32_t kNtsUnauthenticated = 0x20000127;
// The server no longer accepts our cookie (an NTS NAK).
constexpr uint32_t kNtsNak = 0x20000128;
// The file of extra trust anchors ("nts_certificates") cannot be read.
constexpr uint32_t kNtsBadTrustFile = 0x20000129;
// This build's cryptography lacks what NTS needs (AES-SIV, key export).
constexpr uint32_t kNtsNoCrypto = 0x2000012A;

}  // namespace orvanta::error
