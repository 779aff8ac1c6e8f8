#include "sync/nts/ke_records.h"

#include "sync/nts/wire_integers.h"
#include "sync/sntp_errors.h"

namespace orvanta {

namespace {

constexpr uint16_t kCritical = 0x8000;

// Record types.
constexpr uint16_t kEndOfMessage = 0;
constexpr uint16_t kNextProtocol = 1;
constexpr uint16_t kError = 2;
constexpr uint16_t kWarning = 3;
constexpr uint16_t kAeadAlgorithm = 4;
constexpr uint16_t kNewCookie = 5;
constexpr uint16_t kNtpServer = 6;
constexpr uint16_t kNtpPort = 7;

// A server name longer than this is not a name.
constexpr std::size_t kMaxServerName = 255;

void AppendRecord(std::vector<uint8_t>& out, uint16_t type, std::initializer_list<uint16_t> body) {
  Append16(out, type | kCritical);
  Append16(out, static_cast<uint16_t>(body.size() * 2));
  for (uint16_t value : body) Append16(out, value);
}

// Whether a body of 16-bit values holds wanted.
bool Lists(const uint8_t* body, std::size_t length, uint16_t wanted) {
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    if (Read16(body + i) == wanted) return true;
  }
  return false;
}

}  // namespace

std::vector<uint8_t> NtsKeRequest() {
  std::vector<uint8_t> request;
  AppendRecord(request, kNextProtocol, {kNtsProtocolNtpV4});
  AppendRecord(request, kAeadAlgorithm, {kNtsAeadAesSivCmac256});
  AppendRecord(request, kEndOfMessage, {});
  return request;
}

uint32_t ParseNtsKeAnswer(const uint8_t* data, std::size_t length, NtsKeAnswer& answer) {
  answer = NtsKeAnswer{};
  bool protocolAgreed = false, aeadAgreed = false, protocolSeen = false;
  std::size_t at = 0;
  while (true) {
    if (length - at < 4) return kNtsKeIncomplete;
    const uint16_t type = Read16(data + at) & ~kCritical;
    const bool critical = (Read16(data + at) & kCritical) != 0;
    const std::size_t size = Read16(data + at + 2);
    if (length - at - 4 < size) return kNtsKeIncomplete;
    const uint8_t* body = data + at + 4;
    at += 4 + size;
    switch (type) {
      case kEndOfMessage:
        if (!protocolSeen) return error::kNtsKeMalformed;
        if (!protocolAgreed || !aeadAgreed) return error::kNtsNoCommonAlgorithm;
        return answer.cookies.empty() ? error::kNtsNoCookie : 0;
      case kNextProtocol:
        // One protocol at most: the one the server chose among ours.
        if (protocolSeen || size > 2 || size % 2 != 0) return error::kNtsKeMalformed;
        protocolSeen = true;
        protocolAgreed = size == 2 && Read16(body) == kNtsProtocolNtpV4;
        break;
      case kError:
        return error::kNtsKeRefused;
      case kWarning:
        break;  // advisory only
      case kAeadAlgorithm:
        if (size % 2 != 0) return error::kNtsKeMalformed;
        aeadAgreed = size == 2 && Lists(body, size, kNtsAeadAesSivCmac256);
        break;
      case kNewCookie:
        if (size == 0 || size > kNtsMaxCookieSize) return error::kNtsKeMalformed;
        if (answer.cookies.size() < kNtsMaxCookies) answer.cookies.emplace_back(body, body + size);
        break;
      case kNtpServer:
        if (size == 0 || size > kMaxServerName) return error::kNtsKeMalformed;
        answer.server.assign(reinterpret_cast<const char*>(body), size);
        if (answer.server.find('\0') != std::string::npos) return error::kNtsKeMalformed;
        break;
      case kNtpPort:
        if (size != 2 || Read16(body) == 0) return error::kNtsKeMalformed;
        answer.port = Read16(body);
        break;
      default:
        if (critical) return error::kNtsKeMalformed;  // a demand we do not understand
        break;  // an unknown record that is not critical is skipped
    }
  }
}

}  // namespace orvanta
