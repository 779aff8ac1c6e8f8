// The time packets of NTS (RFC 8915, section 5): an NTPv4 header followed by
// extension fields, each a 16-bit type, a 16-bit length that counts its
// 4-byte header and is a multiple of 4, and the body padded with zeros.
//
// A request carries a unique identifier, one cookie, placeholders that ask
// for more cookies, and the authenticator: AES-SIV over everything before
// it, sealed with the client-to-server key. A reply is believed only when
// it echoes the identifier and its authenticator opens with the
// server-to-client key; the fresh cookies travel inside it, encrypted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvanta {

constexpr std::size_t kNtsUniqueIdSize = 32;
constexpr std::size_t kNtsNonceSize = 16;

struct NtsRequestParts {
  const uint8_t* uniqueId;  // kNtsUniqueIdSize random bytes
  const std::vector<uint8_t>* cookie;
  std::size_t placeholders;  // more cookies wanted back
  const uint8_t* key;        // client-to-server key, kSivKeySize bytes
  const uint8_t* nonce;      // kNtsNonceSize random bytes
};

// Appends the extension fields to header (a 48-byte NTPv4 request); false
// only when the cryptography fails.
bool SealNtsRequest(std::vector<uint8_t>& packet, const NtsRequestParts& parts);

// Checks a reply of length bytes: 0 when it is authentic, with the cookies
// it brought appended to cookies; otherwise kNtsNak for a NAK that echoes our
// identifier, or kNtsUnauthenticated. The header's own checks are the
// caller's.
uint32_t OpenNtsReply(const uint8_t* packet, std::size_t length, const uint8_t* uniqueId, const uint8_t* key,
                      std::vector<std::vector<uint8_t>>& cookies);

}  // namespace orvanta
