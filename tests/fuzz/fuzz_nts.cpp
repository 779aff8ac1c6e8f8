// The NTS parsers on any input: the key exchange answer, a time reply as it
// arrives, and (sealed here, so that it authenticates) whatever a server
// could put in a reply's encrypted part. The first byte chooses which.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sync/nts/aes_siv.h"
#include "sync/nts/ke_records.h"
#include "sync/nts/nts_packet.h"

namespace {

const uint8_t kKey[orvanta::kSivKeySize] = {1};
const uint8_t kId[orvanta::kNtsUniqueIdSize] = {2};
const uint8_t kNonce[orvanta::kNtsNonceSize] = {3};

// A reply that echoes kId, with inner sealed under kKey as its encrypted fields.
std::vector<uint8_t> SealedReply(const uint8_t* inner, size_t size) {
  std::vector<uint8_t> packet(48, 0);
  packet[0] = 0x24;
  packet.insert(packet.end(), {1, 4, 0, 36});
  packet.insert(packet.end(), kId, kId + sizeof kId);
  std::vector<uint8_t> sealed;
  if (!orvanta::SivSeal(kKey, {{packet.data(), packet.size()}, {kNonce, sizeof kNonce}}, {inner, size}, sealed)) {
    std::abort();
  }
  const size_t padded = (sealed.size() + 3) & ~size_t{3};
  const size_t length = 8 + sizeof kNonce + padded;
  packet.insert(packet.end(), {4, 4, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 16,
                               static_cast<uint8_t>(sealed.size() >> 8), static_cast<uint8_t>(sealed.size())});
  packet.insert(packet.end(), kNonce, kNonce + sizeof kNonce);
  packet.insert(packet.end(), sealed.begin(), sealed.end());
  packet.resize(packet.size() + padded - sealed.size(), 0);
  return packet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const uint8_t* body = data + 1;
  const size_t length = size - 1;
  std::vector<std::vector<uint8_t>> cookies;
  switch (data[0] % 3) {
    case 0: {
      orvanta::NtsKeAnswer answer;
      if (orvanta::ParseNtsKeAnswer(body, length, answer) == 0 &&
          (answer.cookies.empty() || answer.cookies.size() > orvanta::kNtsMaxCookies)) {
        std::abort();
      }
      break;
    }
    case 1:
      // Without our key nothing can pass.
      if (orvanta::OpenNtsReply(body, length, kId, kKey, cookies) == 0) std::abort();
      break;
    default: {
      const std::vector<uint8_t> reply = SealedReply(body, length);
      if (orvanta::OpenNtsReply(reply.data(), reply.size(), kId, kKey, cookies) == 0) {
        for (const auto& cookie : cookies) {
          if (cookie.empty() || cookie.size() > length) std::abort();
        }
      }
    }
  }
  return 0;
}
