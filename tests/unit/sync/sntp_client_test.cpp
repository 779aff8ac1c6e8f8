#include "sync/sntp_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host_resolver.h"
#include "platform/last_error.h"
#include "sync/sntp_errors.h"
#include "support/fake_clock.h"
#include "support/scripted_sntp_server.h"

namespace orvanta {
namespace {

using test::FakeClock;
using test::MakeUtc;
using test::ScriptedSntpServer;
using test::ServerScript;

constexpr uint64_t kOneSecond = uint64_t{1} << 32;

// Answers from a table of its own and records every name it was asked for.
class RecordingResolver : public HostResolver {
 public:
  bool Resolve(const char* host, uint32_t& address) override {
    asked.emplace_back(host);
    if (failWith != 0) {
      SetLastError(failWith);
      return false;
    }
    const uint8_t loopback[4] = {127, 0, 0, 1};  // network byte order
    std::memcpy(&address, loopback, sizeof address);
    return true;
  }
  std::vector<std::string> asked;
  uint32_t failWith = 0;
};

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

void ExpectUntouchedExceptArrival(const SntpReply& reply) {
  const SntpReply sentinel = Sentinel();
  EXPECT_EQ(reply.leapIndicator, sentinel.leapIndicator);
  EXPECT_EQ(reply.stratum, sentinel.stratum);
  EXPECT_EQ(reply.originate, sentinel.originate);
  EXPECT_EQ(reply.receive, sentinel.receive);
  EXPECT_EQ(reply.transmit, sentinel.transmit);
  EXPECT_EQ(reply.delay, sentinel.delay);
  EXPECT_EQ(reply.offset, sentinel.offset);
}

class SntpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.IsRunning()); }

  // One query to the scripted server by its dotted quad.
  bool Query(SntpReply& reply) { return client_.Query("127.0.0.1", server_.Port(), reply); }

  // No reply was taken: 10060, the record untouched, one request sent and
  // not repeated.
  void ExpectTimedOut(const SntpReply& reply) {
    EXPECT_EQ(LastError(), error::kWsaTimedOut);
    ExpectUntouchedExceptArrival(reply);
    EXPECT_EQ(reply.arrival, Sentinel().arrival);
    EXPECT_TRUE(server_.WaitForDatagrams(1, std::chrono::seconds(5)));
    EXPECT_EQ(server_.Datagrams().size(), 1u);
  }

  FakeClock clock_{MakeUtc(2009, 3, 15, 12, 34, 56, 789)};
  ScopedClockOverride useClock_{clock_};
  RecordingResolver resolver_;
  ScopedResolverOverride useResolver_{resolver_};
  ScriptedSntpServer server_;
  SntpClient client_;
};

TEST_F(SntpClientTest, SendsOneRequestOfFortyEightBytesStampedWithTheClock) {
  SntpReply reply;
  ASSERT_TRUE(Query(reply)) << LastError();
  const std::vector<std::vector<uint8_t>> datagrams = server_.Datagrams();
  ASSERT_EQ(datagrams.size(), 1u);
  std::vector<uint8_t> expected(48, 0);
  expected[0] = 0x1B;
  const uint8_t transmit[8] = {0xCD, 0x67, 0x74, 0x70, 0xC9, 0xFB, 0xE7, 0x6D};  // 2009-03-15 12:34:56.789
  std::memcpy(expected.data() + 40, transmit, sizeof transmit);
  EXPECT_EQ(datagrams[0], expected);
  EXPECT_TRUE(resolver_.asked.empty()) << "a dotted quad went to the resolver";
}

// T1 = (s, 0), T2 = (s + 1, 0), T3 = (s + 1, 0x80000000), T4 = (s, 0xC0000000).
TEST_F(SntpClientTest, HonestReplyGivesDelayAndOffsetToTheLastDigit) {
  clock_.SetSequence({MakeUtc(2009, 3, 15, 12, 34, 56, 0), MakeUtc(2009, 3, 15, 12, 34, 56, 750)});
  server_.Change([](test::ServerBehaviour& b) {
    b.receiveAfterRequest = kOneSecond;
    b.transmitAfterRequest = kOneSecond + 0x80000000;
    b.stratum = 3;
    b.leapIndicator = 1;
  });
  SntpReply reply = Sentinel();
  ASSERT_TRUE(Query(reply)) << LastError();
  const uint32_t s = 3446109296u;
  EXPECT_EQ(reply.leapIndicator, 1);
  EXPECT_EQ(reply.stratum, 3);
  EXPECT_EQ(reply.originate, NtpTimestamp(s, 0));
  EXPECT_EQ(reply.receive, NtpTimestamp(s + 1, 0));
  EXPECT_EQ(reply.transmit, NtpTimestamp(s + 1, 0x80000000));
  EXPECT_EQ(reply.arrival, NtpTimestamp(s, 0xC0000000));
  EXPECT_EQ(reply.delay, 0.25000000005820766);
  EXPECT_EQ(reply.offset, 0.8750000000873115);
}

// Plain double arithmetic on every build: extended-precision intermediates
// (the x87's) would give 250.77762344078573 here.
TEST_F(SntpClientTest, OffsetIsComputedInDoublePrecision) {
  clock_.SetSequence({MakeUtc(2009, 3, 15, 12, 34, 56, 841), MakeUtc(2009, 3, 15, 12, 34, 56, 949)});
  server_.Change([](test::ServerBehaviour& b) {
    b.receiveAfterRequest = 0xFAD4DC52CB;
    b.transmitAfterRequest = 0xFAD4DC52CB + 0x11E69A;
  });
  SntpReply reply;
  ASSERT_TRUE(Query(reply)) << LastError();
  EXPECT_EQ(reply.offset, 250.7776234407857);
  EXPECT_EQ(reply.delay, 0.10772685569425272);
}

TEST_F(SntpClientTest, AcceptsRepliesWithRoomForAnAuthenticator) {
  for (const std::size_t length : {48, 52, 68}) {
    server_.Change([&](test::ServerBehaviour& b) { b.replyLength = length; });
    SntpReply reply;
    EXPECT_TRUE(Query(reply)) << length << " bytes: " << LastError();
  }
}

TEST_F(SntpClientTest, RejectsEachFaultyReplyWithItsCode) {
  struct Case {
    ServerScript script;
    std::size_t length;
    uint32_t code;
  };
  const std::size_t own = test::kScriptsOwnLength;
  const Case cases[] = {
      {ServerScript::kShort, own, error::kReplyTooShort},
      {ServerScript::kShort, 1, error::kReplyTooShort},
      {ServerScript::kShort, 0, error::kReplyTooShort},
      {ServerScript::kLong, own, error::kWsaMessageTooLong},
      {ServerScript::kLong, 1000, error::kWsaMessageTooLong},
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
    SCOPED_TRACE(static_cast<int>(c.script));
    SCOPED_TRACE(c.length);
    server_.Change([&](test::ServerBehaviour& b) {
      b.script = c.script;
      b.replyLength = c.length;
    });
    // Each query sees its own times: the arrival must be the second reading.
    clock_.SetSequence({MakeUtc(2020, 1, 1, 0, 0, second), MakeUtc(2020, 1, 1, 0, 0, second, 500)});
    SntpReply reply = Sentinel();
    SetLastError(0);
    EXPECT_FALSE(Query(reply));
    EXPECT_EQ(LastError(), c.code);
    ExpectUntouchedExceptArrival(reply);
    EXPECT_EQ(reply.arrival, NtpTimestamp::FromSystemTime(MakeUtc(2020, 1, 1, 0, 0, second, 500)));
    ++second;
  }
}

// A host name goes to the resolver; when that fails, nothing is stamped or sent.
TEST_F(SntpClientTest, HostNamesGoThroughTheResolver) {
  resolver_.failWith = error::kWsaHostNotFound;
  SntpReply reply = Sentinel();
  EXPECT_FALSE(client_.Query("nowhere.orvanta.test", server_.Port(), reply));
  EXPECT_EQ(LastError(), error::kWsaHostNotFound);
  ExpectUntouchedExceptArrival(reply);
  EXPECT_EQ(reply.arrival, Sentinel().arrival);
  EXPECT_EQ(clock_.Readings(), 0u) << "a request was stamped";
  resolver_.failWith = 0;
  ASSERT_TRUE(client_.Query("time.orvanta.test", server_.Port(), reply)) << LastError();
  EXPECT_EQ(resolver_.asked, (std::vector<std::string>{"nowhere.orvanta.test", "time.orvanta.test"}));
  EXPECT_EQ(server_.Datagrams().size(), 1u) << "the failed lookup sent a request";
}

TEST_F(SntpClientTest, AReplyAfterTheWaitIsNotTakenAndNotAskedForAgain) {
  server_.Change([](test::ServerBehaviour& b) {
    b.script = ServerScript::kLate;
    b.lateMs = 1500;
  });
  client_.replyTimeoutMs = 200;
  SntpReply reply = Sentinel();
  EXPECT_FALSE(Query(reply));
  ExpectTimedOut(reply);
}

// The one test that waits out the full 5000 ms.
TEST_F(SntpClientTest, NoReplyWithinFiveSecondsTimesOut) {
  server_.Change([](test::ServerBehaviour& b) { b.script = ServerScript::kSilent; });
  SntpClient client;
  EXPECT_EQ(client.replyTimeoutMs, 5000u);
  SntpReply reply = Sentinel();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Query("127.0.0.1", server_.Port(), reply));
  const auto waited = std::chrono::steady_clock::now() - start;
  ExpectTimedOut(reply);
  EXPECT_GE(waited, std::chrono::milliseconds(4900));
  EXPECT_LT(waited, std::chrono::seconds(30));
}

// Nothing listens on the port: the port-unreachable answer surfaces as the
// receive's error, and closing the socket afterwards does not hide it.
TEST_F(SntpClientTest, AReceiveErrorIsReported) {
  const uint16_t closedPort = test::UnusedLoopbackPort();
  ASSERT_NE(closedPort, 0);
  client_.replyTimeoutMs = 2000;
  SntpReply reply = Sentinel();
  EXPECT_FALSE(client_.Query("127.0.0.1", closedPort, reply));
  ExpectUntouchedExceptArrival(reply);
  if (test::PortUnreachableReachesTheReceive()) {
    EXPECT_EQ(LastError(), error::kWsaConnectionReset);
    EXPECT_EQ(reply.arrival, NtpTimestamp::FromSystemTime(MakeUtc(2009, 3, 15, 12, 34, 56, 789)));
  } else {
    EXPECT_EQ(LastError(), error::kWsaTimedOut);
    EXPECT_EQ(reply.arrival, Sentinel().arrival);
  }
}

TEST_F(SntpClientTest, RefusesAPortOutOfRange) {
  SntpReply reply = Sentinel();
  EXPECT_FALSE(client_.Query("127.0.0.1", 65536, reply));
  EXPECT_EQ(LastError(), error::kInvalidParameter);
  EXPECT_FALSE(client_.Query(nullptr, 123, reply));
  EXPECT_EQ(LastError(), error::kInvalidParameter);
  EXPECT_EQ(clock_.Readings(), 0u);
}

}  // namespace
}  // namespace orvanta
