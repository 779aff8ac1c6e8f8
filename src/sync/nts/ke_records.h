// The records of the NTS key exchange (RFC 8915, section 4), spoken over
// TLS on port 4460: what the client asks for, and what it makes of the
// server's answer. Each record is a 16-bit type whose top bit marks it
// critical, a 16-bit body length and the body, all in network byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

constexpr uint16_t kNtsKePort = 4460;
// The only next protocol: NTPv4. The only AEAD algorithm: AEAD_AES_SIV_CMAC_256.
constexpr uint16_t kNtsProtocolNtpV4 = 0;
constexpr uint16_t kNtsAeadAesSivCmac256 = 15;
// Cookies kept per server, and the most a key exchange answer is taken with.
constexpr std::size_t kNtsMaxCookies = 8;
// A cookie is the server's own opaque blob, some 100 bytes in practice; a
// larger one than this would make requests too large to send whole.
constexpr std::size_t kNtsMaxCookieSize = 1024;
constexpr std::size_t kNtsMaxKeAnswer = 65536;

// The request: NTPv4 as next protocol, AES-SIV-CMAC-256, end of message.
std::vector<uint8_t> NtsKeRequest();

// What an answer grants.
struct NtsKeAnswer {
  std::vector<std::vector<uint8_t>> cookies;  // at most kNtsMaxCookies; more are dropped
  std::string server;                         // the NTP server to use; empty: the key exchange host
  uint16_t port = 0;                          // its NTP port; 0: the standard one
};

// Reads an answer of length bytes. 0 when it is complete and usable;
// kNtsKeIncomplete when it stops before its end-of-message record (more may
// come); otherwise the code of sync/sntp_errors.h that says why it cannot be
// used: a malformed or unknown critical record (a cookie above
// kNtsMaxCookieSize counts as malformed), an error record, no protocol or
// algorithm in common, no cookie.
uint32_t ParseNtsKeAnswer(const uint8_t* data, std::size_t length, NtsKeAnswer& answer);

// Returned by ParseNtsKeAnswer while the end of the message has not arrived.
constexpr uint32_t kNtsKeIncomplete = 1;

}  // namespace orvanta
