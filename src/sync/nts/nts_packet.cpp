#include "sync/nts/nts_packet.h"

#include <cstring>

#include "sync/nts/aes_siv.h"
#include "sync/nts/ke_records.h"
#include "sync/nts/wire_integers.h"
#include "sync/sntp_errors.h"

namespace orvanta {

namespace {

constexpr std::size_t kHeaderSize = 48;
constexpr std::size_t kFieldHeader = 4;

// Extension field types.
constexpr uint16_t kUniqueId = 0x0104;
constexpr uint16_t kCookie = 0x0204;
constexpr uint16_t kCookiePlaceholder = 0x0304;
constexpr uint16_t kAuthenticator = 0x0404;

// A NAK: stratum 0 and the kiss code "NTSN" in the reference identifier.
constexpr std::size_t kStratumOffset = 1;
constexpr std::size_t kReferenceIdOffset = 12;

std::size_t Padded(std::size_t length) { return (length + 3) & ~std::size_t{3}; }

// Appends a body of length bytes (all zero when body is null), padded.
void AppendBytes(std::vector<uint8_t>& out, const uint8_t* body, std::size_t length) {
  if (body != nullptr) {
    out.insert(out.end(), body, body + length);
  } else {
    out.insert(out.end(), length, 0);
  }
  out.insert(out.end(), Padded(length) - length, 0);
}

void AppendField(std::vector<uint8_t>& out, uint16_t type, const uint8_t* body, std::size_t length) {
  Append16(out, type);
  Append16(out, kFieldHeader + Padded(length));
  AppendBytes(out, body, length);
}

struct Field {
  uint16_t type;
  std::size_t start;  // of its header, from the packet's start
  const uint8_t* body;
  std::size_t length;  // of its body, padding included
};

// Walks the fields from start; false at the first one that does not fit.
template <typename Visit>
bool ForEachField(const uint8_t* packet, std::size_t start, std::size_t end, Visit visit) {
  for (std::size_t at = start; at < end;) {
    if (end - at < kFieldHeader) return false;
    const std::size_t size = Read16(packet + at + 2);
    if (size < kFieldHeader || size % 4 != 0 || size > end - at) return false;
    if (!visit(Field{Read16(packet + at), at, packet + at + kFieldHeader, size - kFieldHeader})) return true;
    at += size;
  }
  return true;
}

}  // namespace

bool SealNtsRequest(std::vector<uint8_t>& packet, const NtsRequestParts& parts) {
  AppendField(packet, kUniqueId, parts.uniqueId, kNtsUniqueIdSize);
  AppendField(packet, kCookie, parts.cookie->data(), parts.cookie->size());
  for (std::size_t i = 0; i < parts.placeholders; ++i) {
    AppendField(packet, kCookiePlaceholder, nullptr, parts.cookie->size());
  }
  // Nothing of ours needs secrecy: the sealed text is the tag alone.
  std::vector<uint8_t> sealed;
  if (!SivSeal(parts.key, {{packet.data(), packet.size()}, {parts.nonce, kNtsNonceSize}}, {nullptr, 0}, sealed)) {
    return false;
  }
  Append16(packet, kAuthenticator);
  Append16(packet, kFieldHeader + 4 + Padded(kNtsNonceSize) + Padded(sealed.size()));
  Append16(packet, kNtsNonceSize);
  Append16(packet, sealed.size());
  AppendBytes(packet, parts.nonce, kNtsNonceSize);
  AppendBytes(packet, sealed.data(), sealed.size());
  return true;
}

uint32_t OpenNtsReply(const uint8_t* packet, std::size_t length, const uint8_t* uniqueId, const uint8_t* key,
                      std::vector<std::vector<uint8_t>>& cookies) {
  if (length < kHeaderSize) return error::kNtsUnauthenticated;
  bool echoed = false;
  Field authenticator{0, 0, nullptr, 0};
  // Only the fields before the authenticator are covered by it; what
  // follows it is not believed.
  const bool wellFormed = ForEachField(packet, kHeaderSize, length, [&](const Field& field) {
    if (field.type == kUniqueId && field.length == kNtsUniqueIdSize &&
        std::memcmp(field.body, uniqueId, kNtsUniqueIdSize) == 0) {
      echoed = true;
    }
    if (field.type != kAuthenticator) return true;
    authenticator = field;
    return false;
  });
  if (!wellFormed || !echoed) return error::kNtsUnauthenticated;
  if (authenticator.body == nullptr) {
    const bool nak = packet[kStratumOffset] == 0 && std::memcmp(packet + kReferenceIdOffset, "NTSN", 4) == 0;
    return nak ? error::kNtsNak : error::kNtsUnauthenticated;
  }

  if (authenticator.length < 4) return error::kNtsUnauthenticated;
  const std::size_t nonceLength = Read16(authenticator.body);
  const std::size_t sealedLength = Read16(authenticator.body + 2);
  if (nonceLength == 0 || 4 + Padded(nonceLength) + Padded(sealedLength) > authenticator.length) {
    return error::kNtsUnauthenticated;
  }
  const uint8_t* nonce = authenticator.body + 4;
  const uint8_t* sealed = nonce + Padded(nonceLength);
  std::vector<uint8_t> plain;
  if (!SivOpen(key, {{packet, authenticator.start}, {nonce, nonceLength}}, {sealed, sealedLength}, plain)) {
    return error::kNtsUnauthenticated;
  }
  // The encrypted fields: new cookies, and whatever else is skipped.
  std::vector<std::vector<uint8_t>> fresh;
  const bool inner = ForEachField(plain.data(), 0, plain.size(), [&](const Field& field) {
    if (field.type == kCookie && field.length > 0 && field.length <= kNtsMaxCookieSize) {
      fresh.emplace_back(field.body, field.body + field.length);  // an oversized one is not kept
    }
    return true;
  });
  if (!inner) return error::kNtsUnauthenticated;
  cookies.insert(cookies.end(), fresh.begin(), fresh.end());
  return 0;
}

}  // namespace orvanta
