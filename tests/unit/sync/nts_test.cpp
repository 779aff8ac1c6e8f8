// NTS without a network: the key exchange records a server may send, the
// request's extension fields byte for byte, what a reply must prove before
// it is believed, the cipher against RFC 5297's vectors, and nts:// entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sync/nts/aes_siv.h"
#include "sync/nts/ke_records.h"
#include "sync/nts/nts_client.h"
#include "sync/nts/nts_packet.h"
#include "sync/sntp_errors.h"

namespace orvanta {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

Bytes Record(uint16_t type, const Bytes& body) {
  Bytes out = {static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type), static_cast<uint8_t>(body.size() >> 8),
               static_cast<uint8_t>(body.size())};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const Bytes kProtocol = Record(0x8001, {0, 0}), kAead = Record(0x0004, {0, 15}), kEnd = Record(0x8000, {});
const Bytes kCookie = Record(0x0005, {1, 2, 3, 4});

TEST(NtsKeyExchangeTest, TheRequestAndEachKindOfAnswer) {
  EXPECT_EQ(NtsKeRequest(), Hex("800100020000" "80040002000f" "80000000"));
  const struct {
    const char* what;
    Bytes answer;
    uint32_t code;
  } cases[] = {
      {"usable", Join({kProtocol, kAead, kCookie, kEnd}), 0},
      {"unknown record, not critical", Join({kProtocol, Record(0x1234, {9}), kAead, kCookie, kEnd}), 0},
      {"truncated", Join({kProtocol, kAead, kCookie, {0x80, 0}}), kNtsKeIncomplete},
      {"no end of message", Join({kProtocol, kAead, kCookie}), kNtsKeIncomplete},
      {"critical unknown", Join({kProtocol, Record(0x9234, {}), kAead, kCookie, kEnd}), error::kNtsKeMalformed},
      {"no next protocol", Join({kAead, kCookie, kEnd}), error::kNtsKeMalformed},
      {"protocol mismatch", Join({Record(0x8001, {0, 1}), kAead, kCookie, kEnd}), error::kNtsNoCommonAlgorithm},
      {"AEAD mismatch", Join({kProtocol, Record(0x0004, {0, 1}), kCookie, kEnd}), error::kNtsNoCommonAlgorithm},
      {"error record", Join({kProtocol, Record(0x8002, {0, 1}), kEnd}), error::kNtsKeRefused},
      {"no cookie", Join({kProtocol, kAead, kEnd}), error::kNtsNoCookie},
      {"port of one byte", Join({kProtocol, kAead, kCookie, Record(0x0007, {1}), kEnd}), error::kNtsKeMalformed},
      {"port 0", Join({kProtocol, kAead, kCookie, Record(0x0007, {0, 0}), kEnd}), error::kNtsKeMalformed},
      {"empty server", Join({kProtocol, kAead, kCookie, Record(0x0006, {}), kEnd}), error::kNtsKeMalformed},
      {"oversized cookie", Join({kProtocol, kAead, Record(0x0005, Bytes(1025, 1)), kEnd}), error::kNtsKeMalformed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    NtsKeAnswer answer;
    EXPECT_EQ(ParseNtsKeAnswer(c.answer.data(), c.answer.size(), answer), c.code);
  }

  // The server and port it names, and no more cookies than a store holds.
  Bytes many = Join({kProtocol, kAead, Record(0x0006, {'n', 't', 'p'}), Record(0x0007, {0x12, 0x34})});
  for (int i = 0; i < 10; ++i) many = Join({many, kCookie});
  many = Join({many, kEnd});
  NtsKeAnswer answer;
  ASSERT_EQ(ParseNtsKeAnswer(many.data(), many.size(), answer), 0u);
  EXPECT_EQ(answer.server, "ntp");
  EXPECT_EQ(answer.port, 0x1234);
  EXPECT_EQ(answer.cookies.size(), kNtsMaxCookies);
}

// Keys and random parts that make packets reproducible.
struct Packets {
  uint8_t key[kSivKeySize] = {1, 2, 3};
  uint8_t uniqueId[kNtsUniqueIdSize] = {7, 7, 7};
  uint8_t nonce[kNtsNonceSize] = {9};
  Bytes cookie = {0xC0, 0x0C, 0x1E, 0xEE, 0x5A};  // 5 bytes: padded to 8

  // A server's reply: header, the identifier, an authenticator sealing the cookies.
  Bytes Reply(const Bytes& header, const Bytes& id, int cookies) {
    Bytes sealedFields;
    for (int i = 0; i < cookies; ++i) sealedFields = Join({sealedFields, Hex("0204000C"), cookie, {0, 0, 0}});
    Bytes packet = Join({header, Hex("01040024"), id});
    Bytes sealed;
    EXPECT_TRUE(SivSeal(key, {{packet.data(), packet.size()}, {nonce, sizeof nonce}},
                        {sealedFields.data(), sealedFields.size()}, sealed));
    const uint16_t size = static_cast<uint16_t>(8 + sizeof nonce + sealed.size());
    return Join({packet, {4, 4, static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size), 0, 16, 0,
                          static_cast<uint8_t>(sealed.size())},
                 Bytes(nonce, nonce + sizeof nonce), sealed});
  }
};

TEST(NtsPacketTest, RequestFieldsArePaddedAndSealed) {
  Packets p;
  Bytes packet(48, 0);
  ASSERT_TRUE(SealNtsRequest(packet, {p.uniqueId, &p.cookie, 2, p.key, p.nonce}));
  const Bytes padded = Join({p.cookie, {0, 0, 0}});
  const Bytes fields = Join({Hex("01040024"), Bytes(p.uniqueId, p.uniqueId + 32), Hex("0204000C"), padded,
                             Hex("0304000C"), Bytes(8, 0), Hex("0304000C"), Bytes(8, 0), Hex("040400280010"),
                             Hex("0010"), Bytes(p.nonce, p.nonce + 16)});
  ASSERT_EQ(packet.size(), 48 + fields.size() + kSivTagSize);
  EXPECT_EQ(Bytes(packet.begin() + 48, packet.end() - kSivTagSize), fields);
  // The tag covers everything before the authenticator, then the nonce.
  const std::size_t covered = packet.size() - 40;
  Bytes plain;
  EXPECT_TRUE(SivOpen(p.key, {{packet.data(), covered}, {p.nonce, 16}}, {packet.data() + covered + 24, 16}, plain));
}

TEST(NtsPacketTest, OnlyAnAuthenticReplyIsBelieved) {
  Packets p;
  const Bytes header = Join({Hex("24020300"), Bytes(44, 0)});  // version 4, server, stratum 2
  const Bytes id(p.uniqueId, p.uniqueId + 32);
  Bytes nak = Join({Hex("24000300"), Bytes(8, 0), {'N', 'T', 'S', 'N'}, Bytes(32, 0), Hex("01040024"), id});
  Bytes flipped = p.Reply(header, id, 1);
  flipped[40] ^= 0x01;
  Bytes otherId = id;
  otherId[0] ^= 0x80;
  Bytes badLength = p.Reply(header, id, 1);
  badLength[51] = 0x23;  // the identifier's field length: not a multiple of 4
  const struct {
    const char* what;
    Bytes reply;
    uint32_t code;
    std::size_t cookies;
  } cases[] = {
      {"authentic, three cookies", p.Reply(header, id, 3), 0, 3},
      {"one bit of the timestamps flipped", flipped, error::kNtsUnauthenticated, 0},
      {"another request's identifier", p.Reply(header, otherId, 1), error::kNtsUnauthenticated, 0},
      {"no authenticator", Join({header, Hex("01040024"), id}), error::kNtsUnauthenticated, 0},
      {"NAK", nak, error::kNtsNak, 0},
      {"malformed field", badLength, error::kNtsUnauthenticated, 0},
      {"header only", header, error::kNtsUnauthenticated, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Bytes> cookies;
    EXPECT_EQ(OpenNtsReply(c.reply.data(), c.reply.size(), p.uniqueId, p.key, cookies), c.code);
    ASSERT_EQ(cookies.size(), c.cookies);
    for (const Bytes& cookie : cookies) EXPECT_EQ(cookie, Join({p.cookie, {0, 0, 0}}));
  }
}

TEST(AesSivTest, Rfc5297VectorsAndAnEmptyPlaintext) {
  const Bytes key = Hex("7f7e7d7c7b7a79787776757473727170404142434445464748494a4b4c4d4e4f");
  const Bytes ad1 = Hex("00112233445566778899aabbccddeeffdeaddadadeaddadaffeeddccbbaa99887766554433221100");
  const Bytes ad2 = Hex("102030405060708090a0"), nonce = Hex("09f911029d74e35bd84156c5635688c0");
  const Bytes plain = Hex("7468697320697320736f6d6520706c61696e7465787420746f20656e6372797074207573696e67205349562d414553");
  Bytes sealed, opened;
  ASSERT_TRUE(SivSeal(key.data(), {{ad1.data(), ad1.size()}, {ad2.data(), ad2.size()}, {nonce.data(), 16}},
                      {plain.data(), plain.size()}, sealed));
  EXPECT_EQ(sealed, Hex("7bdb6e3b432667eb06f4d14bff2fbd0fcb900f2fddbe404326601965c889bf17dba77ceb094fa663b7a3f748"
                        "ba8af829ea64ad544a272e9c485b62a3fd5c0d"));
  const Bytes key1 = Hex("fffefdfcfbfaf9f8f7f6f5f4f3f2f1f0f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
  const Bytes ad = Hex("101112131415161718191a1b1c1d1e1f2021222324252627");
  const Bytes short1 = Hex("112233445566778899aabbccddee");
  ASSERT_TRUE(SivSeal(key1.data(), {{ad.data(), ad.size()}}, {short1.data(), short1.size()}, sealed));
  EXPECT_EQ(sealed, Hex("85632d07c6e8f37f950acd320a2ecc9340c02b9690c4dc04daef7f6afe5c"));
  ASSERT_TRUE(SivOpen(key1.data(), {{ad.data(), ad.size()}}, {sealed.data(), sealed.size()}, opened));
  EXPECT_EQ(opened, short1);

  ASSERT_TRUE(SivSeal(key1.data(), {{ad.data(), ad.size()}}, {nullptr, 0}, sealed));
  EXPECT_TRUE(SivOpen(key1.data(), {{ad.data(), ad.size()}}, {sealed.data(), sealed.size()}, opened));
  sealed[3] ^= 0x10;
  EXPECT_FALSE(SivOpen(key1.data(), {{ad.data(), ad.size()}}, {sealed.data(), sealed.size()}, opened));
}

TEST(NtsEntryTest, HostAndKeyExchangePort) {
  const struct {
    const char* entry;
    const char* parsed;  // "" when the entry is not valid
  } cases[] = {
      {"nts://time.example", "time.example:4460"}, {"NTS://10.0.0.1:123", "10.0.0.1:123"}, {"nts://", ""},
      {"nts://h:", ""}, {"nts://h:0", ""}, {"nts://h:65536", ""}, {"nts://h:12a", ""}, {"nts://h/x", ""},
      {"time.example", ""},
  };
  for (const auto& c : cases) {
    std::string host;
    uint16_t port = 0;
    const bool valid = ParseNtsEntry(c.entry, host, port);
    EXPECT_EQ(valid ? host + ":" + std::to_string(port) : "", c.parsed) << c.entry;
  }
}

}  // namespace
}  // namespace orvanta
