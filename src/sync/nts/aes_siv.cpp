#include "sync/nts/aes_siv.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <array>
#include <cstring>
#include <memory>

namespace orvanta {

namespace {

constexpr std::size_t kBlock = 16;
constexpr std::size_t kHalfKey = kSivKeySize / 2;
using Block = std::array<uint8_t, kBlock>;

struct MacFree {
  void operator()(EVP_MAC* mac) const { EVP_MAC_free(mac); }
};
struct MacContextFree {
  void operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }
};
struct CipherFree {
  void operator()(EVP_CIPHER* cipher) const { EVP_CIPHER_free(cipher); }
};
struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

// AES-CMAC under the first half of the key.
class Cmac {
 public:
  explicit Cmac(const uint8_t* key) : mac_(EVP_MAC_fetch(nullptr, "CMAC", nullptr)) {
    if (!mac_) return;
    context_.reset(EVP_MAC_CTX_new(mac_.get()));
    char cipher[] = "AES-128-CBC";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipher, 0),
                                 OSSL_PARAM_construct_end()};
    ok_ = context_ && EVP_MAC_init(context_.get(), key, kHalfKey, params) == 1;
  }

  // The MAC of the concatenated parts.
  bool Of(std::initializer_list<SivInput> parts, Block& out) {
    if (!ok_ || EVP_MAC_init(context_.get(), nullptr, 0, nullptr) != 1) return false;
    for (const SivInput& part : parts) {
      if (part.length > 0 && EVP_MAC_update(context_.get(), part.data, part.length) != 1) return false;
    }
    std::size_t length = 0;
    return EVP_MAC_final(context_.get(), out.data(), &length, out.size()) == 1 && length == kBlock;
  }

 private:
  std::unique_ptr<EVP_MAC, MacFree> mac_;
  std::unique_ptr<EVP_MAC_CTX, MacContextFree> context_;
  bool ok_ = false;
};

// Multiplication by x in GF(2^128), "dbl" of RFC 5297.
Block Double(const Block& in) {
  Block out;
  for (std::size_t i = 0; i < kBlock; ++i) {
    out[i] = static_cast<uint8_t>(in[i] << 1 | (i + 1 < kBlock ? in[i + 1] >> 7 : 0));
  }
  if (in[0] & 0x80) out[kBlock - 1] ^= 0x87;
  return out;
}

void XorInto(Block& into, const uint8_t* with, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) into[i] ^= with[i];
}

// S2V over the associated data, then the plaintext as the last string.
bool S2v(const uint8_t* key, std::initializer_list<SivInput> associated, SivInput last, Block& v) {
  Cmac cmac(key);
  static const Block kZero{};
  Block d;
  if (!cmac.Of({{kZero.data(), kBlock}}, d)) return false;
  for (const SivInput& item : associated) {
    Block mac;
    if (!cmac.Of({item}, mac)) return false;
    d = Double(d);
    XorInto(d, mac.data(), kBlock);
  }
  if (last.length >= kBlock) {
    // The last block of the string takes d in ("xorend").
    XorInto(d, last.data + last.length - kBlock, kBlock);
    return cmac.Of({{last.data, last.length - kBlock}, {d.data(), kBlock}}, v);
  }
  Block t = Double(d);
  XorInto(t, last.data, last.length);
  t[last.length] ^= 0x80;  // the padding's leading one bit
  return cmac.Of({{t.data(), kBlock}}, v);
}

// AES-CTR under the second half of the key, from the IV with bits 63 and 31 cleared.
bool Ctr(const uint8_t* key, const Block& v, const uint8_t* in, std::size_t length, uint8_t* out) {
  Block counter = v;
  counter[8] &= 0x7F;
  counter[12] &= 0x7F;
  const std::unique_ptr<EVP_CIPHER, CipherFree> cipher(EVP_CIPHER_fetch(nullptr, "AES-128-CTR", nullptr));
  const std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
  int written = 0;
  return cipher && context &&
         EVP_EncryptInit_ex2(context.get(), cipher.get(), key + kHalfKey, counter.data(), nullptr) == 1 &&
         (length == 0 || EVP_EncryptUpdate(context.get(), out, &written, in, static_cast<int>(length)) == 1);
}

}  // namespace

bool SivAvailable() {
  // RFC 5297, A.1: a known answer. The first use of the library's ciphers
  // also costs milliseconds, which this spends here rather than between the
  // reading of a request's transmit time and its sending.
  static const uint8_t kKey[kSivKeySize] = {
      0xff, 0xfe, 0xfd, 0xfc, 0xfb, 0xfa, 0xf9, 0xf8, 0xf7, 0xf6, 0xf5, 0xf4, 0xf3, 0xf2, 0xf1, 0xf0,
      0xf0, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa, 0xfb, 0xfc, 0xfd, 0xfe, 0xff};
  static const uint8_t kAssociated[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b,
                                        0x1c, 0x1d, 0x1e, 0x1f, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};
  static const uint8_t kPlain[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                   0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee};
  static const uint8_t kSealed[] = {0x85, 0x63, 0x2d, 0x07, 0xc6, 0xe8, 0xf3, 0x7f, 0x95, 0x0a, 0xcd, 0x32,
                                    0x0a, 0x2e, 0xcc, 0x93, 0x40, 0xc0, 0x2b, 0x96, 0x90, 0xc4, 0xdc, 0x04,
                                    0xda, 0xef, 0x7f, 0x6a, 0xfe, 0x5c};
  std::vector<uint8_t> sealed;
  return SivSeal(kKey, {{kAssociated, sizeof kAssociated}}, {kPlain, sizeof kPlain}, sealed) &&
         sealed.size() == sizeof kSealed && std::memcmp(sealed.data(), kSealed, sizeof kSealed) == 0;
}

bool SivSeal(const uint8_t* key, std::initializer_list<SivInput> associated, SivInput plaintext,
             std::vector<uint8_t>& sealed) {
  Block v;
  if (!S2v(key, associated, plaintext, v)) return false;
  sealed.assign(kSivTagSize + plaintext.length, 0);
  std::memcpy(sealed.data(), v.data(), kSivTagSize);
  return Ctr(key, v, plaintext.data, plaintext.length, sealed.data() + kSivTagSize);
}

bool SivOpen(const uint8_t* key, std::initializer_list<SivInput> associated, SivInput sealed,
             std::vector<uint8_t>& plaintext) {
  if (sealed.length < kSivTagSize) return false;
  Block v;
  std::memcpy(v.data(), sealed.data, kSivTagSize);
  const std::size_t length = sealed.length - kSivTagSize;
  std::vector<uint8_t> opened(length);
  Block check;
  if (!Ctr(key, v, sealed.data + kSivTagSize, length, opened.data()) ||
      !S2v(key, associated, {opened.data(), length}, check) || CRYPTO_memcmp(check.data(), v.data(), kBlock) != 0) {
    return false;
  }
  plaintext = std::move(opened);
  return true;
}

}  // namespace orvanta
