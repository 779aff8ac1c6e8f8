// AEAD_AES_SIV_CMAC_256 (RFC 5297), the algorithm NTS protects time packets
// with. Built here from AES-CMAC and AES-CTR, as the TLS library's own
// AES-SIV refuses an empty plaintext, which is what every NTS request seals.
// NTS passes two associated-data items: the packet before the
// authenticator, then the nonce. The sealed text is the 16-byte synthetic
// IV followed by the encrypted plaintext.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace orvanta {

constexpr std::size_t kSivKeySize = 32;
constexpr std::size_t kSivTagSize = 16;

struct SivInput {
  const uint8_t* data;
  std::size_t length;
};

// Whether this build's cryptography offers AES-CMAC and AES-CTR and they
// give AES-SIV's known answer.
bool SivAvailable();

// Seals plaintext under key (kSivKeySize bytes); false only when the
// cryptography fails.
bool SivSeal(const uint8_t* key, std::initializer_list<SivInput> associated, SivInput plaintext,
             std::vector<uint8_t>& sealed);

// Opens what SivSeal sealed; false when it does not verify (any bit of the
// key, associated data or sealed text changed) or is too short.
bool SivOpen(const uint8_t* key, std::initializer_list<SivInput> associated, SivInput sealed,
             std::vector<uint8_t>& plaintext);

}  // namespace orvanta
