#include "sync/sntp_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "support/fake_clock.h"
#include "support/loopback_resolver.h"
#include "support/scripted_sntp_server.h"
#include "sync/sntp_errors.h"

namespace orvanta {
namespace {

using test::MakeUtc;
using test::ServerScript;

constexpr uint64_t kOneSecond = uint64_t{1} << 32;

// A reply record whose every field a query could spoil.
SntpReply Sentinel() {
  SntpReply reply;
  reply.leapIndicator = 2;
  reply.stratum = 77;
  reply.originate = NtpTimestamp(1, 2);
  reply.receive = NtpTimestamp(3, 4);
  reply.transmit = NtpTimestamp(5, 6);
  reply.arrival = NtpTimestamp(7, 8);
  reply.delay = -1.5;
  reply.offset = 42.25;
  return reply;
}

// Everything but the arrival, which a failed receive may have taken.
bool UntouchedButArrival(const SntpReply& reply) {
  const SntpReply s = Sentinel();
  return reply.leapIndicator == s.leapIndicator && reply.stratum == s.stratum && reply.originate == s.originate &&
         reply.receive == s.receive && reply.transmit == s.transmit && reply.delay == s.delay &&
         reply.offset == s.offset;
}

class SntpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.IsRunning()); }

  bool Query(SntpReply& reply) { return client_.Query("127.0.0.1", server_.Port(), reply); }

  test::FakeClock clock_{MakeUtc(2009, 3, 15, 12, 34, 56, 789)};
  test::LoopbackResolver resolver_;
  test::ScriptedSntpServer server_;
  SntpClient client_{clock_, resolver_};
};

TEST_F(SntpClientTest, SendsOneRequestOfFortyEightBytesStampedWithTheClock) {
  SntpReply reply;
  ASSERT_TRUE(Query(reply)) << LastError();
  std::vector<uint8_t> expected(48, 0);
  expected[0] = 0x1B;
  const uint8_t transmit[8] = {0xCD, 0x67, 0x74, 0x70, 0xC9, 0xFB, 0xE7, 0x6D};  // 2009-03-15 12:34:56.789
  std::memcpy(expected.data() + 40, transmit, sizeof transmit);
  EXPECT_EQ(server_.Datagrams(), std::vector<std::vector<uint8_t>>{expected});
  EXPECT_TRUE(resolver_.asked.empty()) << "a dotted quad went to the resolver";
}

// T1 = (s, 0), T2 = (s + 1, 0), T3 = (s + 1, 0x80000000), T4 = (s, 0xC0000000),
// and a second exchange whose last digit an extended-precision intermediate
// (the x87's) would change.
TEST_F(SntpClientTest, DelayAndOffsetToTheLastDigit) {
  struct Case {
    uint16_t sentMs, arrivedMs;
    uint64_t receiveAfter, transmitAfter;
    double delay, offset;
  };
  const Case cases[] = {
      {0, 750, kOneSecond, kOneSecond + 0x80000000, 0.25000000005820766, 0.8750000000873115},
      {841, 949, 0xFAD4DC52CB, 0xFAD4DC52CB + 0x11E69A, 0.10772685569425272, 250.7776234407857},
  };
  for (const Case& c : cases) {
    clock_.SetSequence({MakeUtc(2009, 3, 15, 12, 34, 56, c.sentMs), MakeUtc(2009, 3, 15, 12, 34, 56, c.arrivedMs)});
    server_.Change([&c](test::ServerBehaviour& b) {
      b.receiveAfterRequest = c.receiveAfter;
      b.transmitAfterRequest = c.transmitAfter;
      b.stratum = 3;
      b.leapIndicator = 1;
    });
    SntpReply reply = Sentinel();
    ASSERT_TRUE(Query(reply)) << LastError();
    EXPECT_EQ(reply.leapIndicator, 1);
    EXPECT_EQ(reply.stratum, 3);
    EXPECT_EQ(reply.arrival, NtpTimestamp::FromSystemTime(MakeUtc(2009, 3, 15, 12, 34, 56, c.arrivedMs)));
    EXPECT_EQ(reply.delay, c.delay);
    EXPECT_EQ(reply.offset, c.offset);
  }
}

TEST_F(SntpClientTest, EachReplyIsTakenOrRefusedWithItsCode) {
  struct Case {
    ServerScript script;
    std::size_t length;
    uint32_t code;
  };
  const std::size_t own = test::kScriptsOwnLength;
  const Case cases[] = {
      {ServerScript::kHonest, 52, 0},  // room for an authenticator
      {ServerScript::kHonest, 68, 0},
      {ServerScript::kShort, own, error::kReplyTooShort},
      {ServerScript::kShort, 0, error::kReplyTooShort},
      {ServerScript::kLong, own, error::kWsaMessageTooLong},
      {ServerScript::kWrongMode, own, error::kReplyNotServer},
      {ServerScript::kGarbage, own, error::kReplyNotServer},
      {ServerScript::kWrongOriginate, own, error::kReplyBogusOriginate},
      {ServerScript::kKissOfDeath, own, error::kReplyKissOfDeath},
      {ServerScript::kLeapAlarm, own, error::kReplyUnsynchronized},
      {ServerScript::kStratum16, own, error::kReplyBadStratum},
      {ServerScript::kZeroReceive, own, error::kReplyZeroTimestamp},
      {ServerScript::kZeroTransmit, own, error::kReplyZeroTimestamp},
  };
  uint16_t second = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "script " << static_cast<int>(c.script) << ", length " << c.length);
    server_.Change([&c](test::ServerBehaviour& b) {
      b.script = c.script;
      b.replyLength = c.length;
    });
    // Each query sees its own times: the arrival is the second reading.
    const SystemTime arrived = MakeUtc(2020, 1, 1, 0, 0, second, 500);
    clock_.SetSequence({MakeUtc(2020, 1, 1, 0, 0, second++), arrived});
    SntpReply reply = Sentinel();
    SetLastError(0);
    EXPECT_EQ(Query(reply), c.code == 0);
    if (c.code == 0) continue;
    EXPECT_EQ(LastError(), c.code);
    EXPECT_TRUE(UntouchedButArrival(reply));
    EXPECT_EQ(reply.arrival, NtpTimestamp::FromSystemTime(arrived));
  }
}

// The server claims to have held the request longer than it was away.
TEST_F(SntpClientTest, ANegativeRoundTripIsRefused) {
  clock_.SetSequence({MakeUtc(2020, 1, 1, 0, 0, 0, 0), MakeUtc(2020, 1, 1, 0, 0, 0, 100)});
  server_.Change([](test::ServerBehaviour& b) { b.transmitAfterRequest = b.receiveAfterRequest + kOneSecond / 2; });
  SntpReply reply = Sentinel();
  EXPECT_FALSE(Query(reply));
  EXPECT_EQ(LastError(), error::kReplyNegativeDelay);
  EXPECT_TRUE(UntouchedButArrival(reply));
}

// A host name goes to the resolver; when that fails, nothing is stamped or
// sent. Bad arguments are refused before anything happens.
TEST_F(SntpClientTest, HostNamesGoThroughTheResolver) {
  SntpReply reply = Sentinel();
  EXPECT_FALSE(client_.Query("nowhere.unresolvable", server_.Port(), reply));
  EXPECT_EQ(LastError(), error::kWsaHostNotFound);
  EXPECT_FALSE(client_.Query("127.0.0.1", 65536, reply));
  EXPECT_EQ(LastError(), error::kInvalidParameter);
  EXPECT_FALSE(client_.Query(nullptr, 123, reply));
  EXPECT_EQ(LastError(), error::kInvalidParameter);
  EXPECT_TRUE(UntouchedButArrival(reply));
  EXPECT_EQ(clock_.Readings(), 0u) << "a request was stamped";
  ASSERT_TRUE(client_.Query("time.example", server_.Port(), reply)) << LastError();
  EXPECT_EQ(resolver_.asked, (std::vector<std::string>{"nowhere.unresolvable", "time.example"}));
  EXPECT_EQ(server_.Datagrams().size(), 1u);
}

// Nothing in time: 10060, the record untouched, one request and no second.
TEST_F(SntpClientTest, AReplyAfterTheWaitIsNotTaken) {
  server_.Change([](test::ServerBehaviour& b) {
    b.script = ServerScript::kLate;
    b.lateMs = 60000;
  });
  client_.replyTimeoutMs = 200;
  SntpReply reply = Sentinel();
  EXPECT_FALSE(Query(reply));
  EXPECT_EQ(LastError(), error::kWsaTimedOut);
  EXPECT_TRUE(UntouchedButArrival(reply));
  EXPECT_EQ(reply.arrival, Sentinel().arrival);
  EXPECT_EQ(server_.Datagrams().size(), 1u);
}

// The one test that waits out the full 5000 ms of a new client.
TEST_F(SntpClientTest, NoReplyWithinFiveSecondsTimesOut) {
  server_.Change([](test::ServerBehaviour& b) { b.script = ServerScript::kSilent; });
  SntpClient client(clock_, resolver_);
  SntpReply reply;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Query("127.0.0.1", server_.Port(), reply));
  EXPECT_EQ(LastError(), error::kWsaTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
}

// Nothing listens on the port: the port-unreachable answer surfaces as the
// receive's error, and closing the socket afterwards does not hide it.
TEST_F(SntpClientTest, AReceiveErrorIsReported) {
  const uint16_t closedPort = test::UnusedLoopbackPort();
  ASSERT_NE(closedPort, 0);
  client_.replyTimeoutMs = 2000;
  SntpReply reply = Sentinel();
  EXPECT_FALSE(client_.Query("127.0.0.1", closedPort, reply));
  EXPECT_TRUE(UntouchedButArrival(reply));
  EXPECT_EQ(LastError(), test::PortUnreachableReachesTheReceive() ? error::kWsaConnectionReset : error::kWsaTimedOut);
}

}  // namespace
}  // namespace orvanta
