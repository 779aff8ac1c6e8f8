// The client against the scripted loopback server: the request on the wire,
// the measurement, each reason a reply is refused; and the query role's lines.
#include "sync/sntp_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "support/fake_clock.h"
#include "support/loopback_resolver.h"
#include "support/scripted_sntp_server.h"
#include "sync/server_query.h"
#include "sync/sntp_errors.h"

namespace orvanta {
namespace {

using test::Bytes;
using test::MakeUtc;

void Zero(Bytes& reply, std::size_t at) { std::fill(reply.begin() + at, reply.begin() + at + 8, 0); }

class SntpClientTest : public testing::Test {
 protected:
  // The clock reads 2009-03-15 12:34:56 and sentMs, then arrivedMs.
  bool Query(uint16_t sentMs, uint16_t arrivedMs) {
    clock_.times = {test::InstantOf(MakeUtc(2009, 3, 15, 12, 34, 56, sentMs)),
                    test::InstantOf(MakeUtc(2009, 3, 15, 12, 34, 56, arrivedMs))};
    reply_.offset = 42.25;  // a refused reply leaves the record as it was
    return client_.Query("127.0.0.1", server_.Port(), reply_);
  }

  test::FakeClock clock_;
  test::LoopbackResolver resolver_;
  test::ScriptedSntpServer server_;
  SntpClient client_{clock_, resolver_};
  SntpReply reply_;
};

// An exchange with an offset of minutes, measured to the last bit; asked
// once, with 48 bytes stamped with the clock.
TEST_F(SntpClientTest, OneRequestStampedWithTheClockAndTheMeasurementToTheLastBit) {
  server_.Follow({nullptr, 0xFAD4DC52CB, 0xFAD4DC52CB + 0x11E69A});
  ASSERT_TRUE(Query(841, 949)) << LastError();
  EXPECT_EQ(reply_.arrival, NtpTimestamp::FromSystemTime(MakeUtc(2009, 3, 15, 12, 34, 56, 949)));
  EXPECT_EQ(reply_.delay, 0.10772685569425272);
  EXPECT_EQ(reply_.offset, 250.7776234407857);
  Bytes request(40, 0);
  request[0] = 0x1B;  // version 3, client; then the transmit time, 12:34:56.841
  request.insert(request.end(), {0xCD, 0x67, 0x74, 0x70, 0xD7, 0x4B, 0xC6, 0xA8});
  EXPECT_EQ(server_.Datagrams(), std::vector<Bytes>{request});
  EXPECT_TRUE(resolver_.asked.empty()) << "a dotted quad went to the resolver";
}

// Most replies carry a second fault, which the first in the checks' order
// must win over. Sent at .000, back at .500. A new client waits 5 s for a
// reply (here less); one that hears nothing in time says 10060.
TEST_F(SntpClientTest, EachFaultIsRefusedWithItsCode) {
  EXPECT_EQ(client_.replyTimeoutMs, 5000u);
  const struct { const char* fault; test::ServerScript script; uint32_t code; } cases[] = {
      {"authenticator", {[](Bytes& r) { r.resize(68, 0xD5); }}, 0},
      {"short, mode 5", {[](Bytes& r) { r[0] = 0x25; r.resize(47); }}, error::kReplyTooShort},
      {"empty", {[](Bytes& r) { r.clear(); }}, error::kReplyTooShort},
      {"long", {[](Bytes& r) { r.resize(69); }}, error::kWsaMessageTooLong},
      {"mode 5, originate", {[](Bytes& r) { r[0] = 0x25; r[31] ^= 1; }}, error::kReplyNotServer},
      {"originate, stratum 0", {[](Bytes& r) { r[31] ^= 1; r[1] = 0; }}, error::kReplyBogusOriginate},
      {"kiss-o'-death, leap alarm", {[](Bytes& r) { r[0] = 0xE4; r[1] = 0; }}, error::kReplyKissOfDeath},
      {"leap alarm, stratum 16", {[](Bytes& r) { r[0] = 0xE4; r[1] = 16; }}, error::kReplyUnsynchronized},
      {"stratum 16, zero transmit", {[](Bytes& r) { r[1] = 16; Zero(r, 40); }}, error::kReplyBadStratum},
      {"zero receive, negative round trip", {[](Bytes& r) { Zero(r, 32); }}, error::kReplyZeroTimestamp},
      {"zero transmit", {[](Bytes& r) { Zero(r, 40); }}, error::kReplyZeroTimestamp},
      {"sent a second after it came, back in half a one", {[](Bytes& r) { ++r[43]; }}, error::kReplyNegativeDelay},
      {"no reply", {nullptr, 0, 0, true}, error::kWsaTimedOut},
  };
  for (const auto& c : cases) {
    server_.Follow(c.script);
    client_.replyTimeoutMs = c.script.silent ? 200 : 5000;
    SetLastError(0);
    EXPECT_EQ(Query(0, 500), c.code == 0) << c.fault;
    if (c.code == 0) continue;
    EXPECT_EQ(LastError(), c.code) << c.fault;
    EXPECT_EQ(reply_.offset, 42.25) << c.fault;
  }
}

// Bad arguments are refused before anything happens. Then every host is
// asked in order, whatever the one before did: a name through the resolver,
// and one that does not resolve is neither stamped nor sent. The clock, which
// stands still here, is only read. A line gives the reply's fields as the
// server sent them, or the failure's code in words.
TEST_F(SntpClientTest, EachHostInTurnAndALineForEach) {
  const std::pair<const char*, int> refused[] = {{"127.0.0.1", 65536}, {nullptr, 123}};
  for (const auto& [host, port] : refused) {
    EXPECT_FALSE(client_.Query(host, port, reply_));
    EXPECT_EQ(LastError(), error::kInvalidParameter) << port;
  }
  server_.Follow({[](Bytes& r) { r[0] = 0x64; r[1] = 3; }});  // leap 1, stratum 3
  std::vector<std::string> lines;
  EXPECT_EQ(QueryServers(client_, {"gone.unresolvable", "127.0.0.1", "time.example"}, server_.Port(),
                         [&lines](const std::string& line) { lines.push_back(line); }),
            2);
  EXPECT_EQ(lines,
            (std::vector<std::string>{"gone.unresolvable - error=11001 name not resolved",
                                      "127.0.0.1 127.0.0.1 offset=+0.250000 delay=0.000000 stratum=3 leap=1",
                                      "time.example 127.0.0.1 offset=+0.250000 delay=0.000000 stratum=3 leap=1"}));
  EXPECT_EQ(resolver_.asked, (std::vector<std::string>{"gone.unresolvable", "time.example"}));
  EXPECT_EQ(clock_.readings, 4u) << "two readings for each answer, none for anything else";
  EXPECT_EQ(server_.Datagrams().size(), 2u);
  EXPECT_TRUE(clock_.log.empty());
  EXPECT_EQ(QueryLine("h", false, 0, false, reply_, 4242), "h - error=4242 unexpected error");
}

}  // namespace
}  // namespace orvanta
