// The synchronization pass over the scripted server, with a clock that
// records what was done to it instead of touching the machine's clock; and
// what a pass tells the log.
#include "sync/synchronization_pass.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/udp_socket.h"
#include "settings/settings_readers.h"
#include "support/fake_clock.h"
#include "support/loopback_resolver.h"
#include "support/scripted_sntp_server.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::InstantOf;
using test::MakeUtc;
using Strings = std::vector<std::string>;

constexpr int64_t kSecond = int64_t{1} << 32;

// A log that keeps its records as "LEVEL ID text" lines, LEVEL being I, W or E.
struct RecordingLog : LogSink {
  void Write(LogLevel level, uint32_t eventId, const std::string& text) override {
    const char* label = level == LogLevel::kError ? "E" : level == LogLevel::kWarning ? "W" : "I";
    records.push_back(std::string(label) + " " + std::to_string(eventId) + " " + text);
  }
  Strings records;
};

class SynchronizationPassTest : public testing::Test {
 protected:
  void Servers(const std::vector<const char*>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      ASSERT_TRUE(settings_.WriteString("SERVERS", ServerKey(static_cast<int>(i + 1)).c_str(), names[i]));
    }
  }
  // The server's clock runs this far ahead of ours (2^-32 s; negative: behind).
  void ServerAhead(int64_t units) {
    server_.Follow({nullptr, static_cast<uint64_t>(units), static_cast<uint64_t>(units)});
  }
  bool Pass() { return RunSynchronizationPass(settings_, clock_, resolver_, report_, server_.Port()); }

  test::TempDir dir_;
  test::FakeClock clock_;
  test::LoopbackResolver resolver_;
  test::ScriptedSntpServer server_;
  SettingsFile settings_{dir_.File("orvanta.ini")};
  RecordingLog log_;
  PassReport report_{log_};
};

TEST_F(SynchronizationPassTest, FirstApplicableAnswerWinsAndLaterServersAreNotAsked) {
  Servers({"first.unresolvable", "second.example", "third.example"});
  ServerAhead(2 * kSecond + kSecond / 2);
  ASSERT_TRUE(Pass());
  EXPECT_EQ(resolver_.asked, (Strings{"first.unresolvable", "second.example"}));
  EXPECT_EQ(server_.Datagrams().size(), 1u);
  EXPECT_EQ(clock_.log, (Strings{"grant", "set", "withdraw"}));
  EXPECT_EQ(clock_.setTo, std::vector<UtcInstant>{InstantOf(MakeUtc(2026, 12, 7, 10, 0, 2, 500))});
  EXPECT_EQ(settings_.GetString("INFO", "adjusted", 100), "2.500");
  ASSERT_EQ(log_.records.size(), 2u);
  EXPECT_EQ(log_.records[0], "W 6 Server first.unresolvable (-) failed: name not resolved.");
  EXPECT_EQ(log_.records[1].substr(0, 50), "I 5 Synchronized from second.example (127.0.0.1): ");
}

// Without the right every server is asked once, each grant is withdrawn,
// and the file stays as it was.
TEST_F(SynchronizationPassTest, ARefusedChangeAsksEveryServerOnceAndWritesNothing) {
  Servers({"a.example", "b.example", "c.example"});
  const std::string before = test::ReadBytes(settings_.Path());
  clock_.refuse = true;
  EXPECT_FALSE(Pass());
  EXPECT_EQ(LastError(), error::kPrivilegeNotHeld);
  EXPECT_EQ(server_.Datagrams().size(), 3u);
  EXPECT_EQ(clock_.log, (Strings{"grant", "set", "withdraw", "grant", "set", "withdraw", "grant", "set", "withdraw"}));
  EXPECT_EQ(test::ReadBytes(settings_.Path()), before);
  EXPECT_EQ(log_.records.back(), "E 8 No server could be used in this pass.");
}

// The offset is applied to the time read after the grant, to the nanosecond,
// and across the 2036 wrap forward, never back to 1900. "adjusted" records it
// with its sign and three decimals, "last" the new time in local time: two
// hours east of UTC, set here on Linux and by the test run for Wine.
TEST_F(SynchronizationPassTest, OffsetsAreAppliedAndRecorded) {
#ifndef _WIN32
  setenv("TZ", "UTC-2", 1);
#endif
  const UtcInstant now = InstantOf(MakeUtc(2026, 12, 7, 10), 123457);
  const struct {
    UtcInstant now;
    int64_t ahead;
    const char* adjusted;
    UtcInstant setTo;
    SystemTime last;
  } cases[] = {
      {now, 0, "0.000", now, {2026, 12, 1, 7, 12, 0, 0, 0}},
      {now, -(kSecond + kSecond / 4), "-1.250", InstantOf(MakeUtc(2026, 12, 7, 9, 59, 58, 750), 123457),
       {2026, 12, 1, 7, 11, 59, 58, 750}},
      {now, 8590, "0.000", InstantOf(MakeUtc(2026, 12, 7, 10), 125457), {2026, 12, 1, 7, 12, 0, 0, 0}},  // 2 us
      // Across the wrap of the seconds the offset is still the short way round.
      {InstantOf(MakeUtc(2036, 2, 7, 6, 28, 10)), 10 * kSecond, "10.000",
       InstantOf(MakeUtc(2036, 2, 7, 6, 28, 20)), {2036, 2, 4, 7, 8, 28, 20, 0}},
      {InstantOf(MakeUtc(2036, 2, 7, 6, 28, 20)), 10 * kSecond, "10.000", InstantOf(MakeUtc(2036, 2, 7, 6, 28, 30)),
       {2036, 2, 4, 7, 8, 28, 30, 0}},
      {InstantOf(MakeUtc(2040, 1, 1)), 10 * kSecond, "10.000", InstantOf(MakeUtc(2040, 1, 1, 0, 0, 10)),
       {2040, 1, 0, 1, 2, 0, 10, 0}},
  };
  Servers({"a.example"});
  for (const auto& c : cases) {
    ServerAhead(c.ahead);
    clock_.times = {c.now};
    clock_.setTo.clear();
    ASSERT_TRUE(Pass());
    EXPECT_EQ(clock_.setTo, std::vector<UtcInstant>{c.setTo}) << c.adjusted;
    EXPECT_EQ(settings_.GetString("INFO", "adjusted", 100), c.adjusted);
    SystemTime last;
    ASSERT_TRUE(ReadLastSync(settings_, last));
    EXPECT_EQ(last, c.last);
  }
}

// A failing server is told at its first failure, then once an hour; an
// answer from it makes its next failure a first one again.
TEST_F(SynchronizationPassTest, TheReportRecordsEachPassAndThrottlesADeadServer) {
  uint32_t loopback = 0;
  ASSERT_TRUE(UdpSocket::ParseDottedQuad("127.0.0.1", loopback));
  const SntpReply reply{0, 2, {}, {}, {}, {}, 0.012, 0.0031};  // stratum 2, delay 12 ms, offset 3.1 ms
  const SystemTime at = test::MakeUtc(2026, 12, 7, 10, 2, 3);
  const std::string dead = "W 6 Server dead.example (-) failed: name not resolved.";
  const std::string refused = "W 6 Server good.example (127.0.0.1) failed: clock refused: no right to set the clock.";
  const std::string synchronized =
      "I 5 Synchronized from good.example (127.0.0.1): offset +0.003100 s, delay 0.012000 s, stratum 2.";
  const std::string noServer = "E 8 No server could be used in this pass.";
  const std::string answered = "Synchronized 10:02:03 from good.example (+0.003 s)";
  const struct {
    int64_t atMs;
    Strings records;
    std::string status;
  } passes[] = {
      {0, {dead, synchronized}, answered},
      {60000, {refused, noServer}, "No server answered at 10:02:03"},
      {3600000, {dead, synchronized}, answered},
      {3630000, {refused, noServer}, "No server answered at 10:02:03"},  // within the hour of its last failure
  };
  for (const auto& pass : passes) {
    log_.records.clear();
    report_.BeginPass(pass.atMs);
    report_.ServerFailed("dead.example", false, 0, error::kWsaHostNotFound);
    if (pass.status == answered) {
      report_.Synchronized("good.example", loopback, reply, at);
    } else {
      report_.ServerFailed("good.example", true, loopback, error::kPrivilegeNotHeld);
      report_.NoServer(at);
    }
    EXPECT_EQ(log_.records, pass.records) << pass.atMs;
    EXPECT_EQ(report_.Status(), pass.status);
  }
  log_.records.clear();
  report_.SettingsNotWritten("/opt/orvanta/orvanta.ini", error::kAccessDenied);
  EXPECT_EQ(log_.records, Strings{"W 7 The settings file /opt/orvanta/orvanta.ini could not be written: access denied. "
                                  "The clock was set all the same."});
}

}  // namespace
}  // namespace orvanta
