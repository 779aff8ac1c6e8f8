// The synchronization pass over the scripted server, with a clock that
// records what was done to it instead of touching the machine's clock, and
// what each pass tells the log.
#include "sync/synchronization_pass.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/last_error.h"
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
  // Local time is two hours east of UTC: set here on Linux, by the test run for Wine.
  SynchronizationPassTest() {
#ifndef _WIN32
    setenv("TZ", "UTC-2", 1);
#endif
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

// Passes an hour apart and within it, over a server that does not resolve
// and two that answer, whose answers the clock takes or refuses for want of
// the right. The first answer that sets the clock ends the pass; a refused
// one is withdrawn and the next server asked, and when none is left the pass
// fails with the last reason and the file stays as it was. A failing server
// is told at its first failure, then once an hour; an answer from it makes its
// next failure a first one again. A settings file that cannot be written does
// not undo the adjustment. The status line tells the outcome in local time.
TEST_F(SynchronizationPassTest, ServersInTurnAndWhatEachPassTellsTheLog) {
  ASSERT_TRUE(settings_.Write({{"SERVERS", "server_1", "dead.unresolvable"}, {"SERVERS", "server_2", "a.example"},
                               {"SERVERS", "server_3", "b.example"}}));
  const std::string dead = "W 6 Server dead.unresolvable (-) failed: name not resolved.";
  const std::string refusedA = "W 6 Server a.example (127.0.0.1) failed: clock refused: no right to set the clock.";
  const std::string refusedB = "W 6 Server b.example (127.0.0.1) failed: clock refused: no right to set the clock.";
  const std::string synchronized =
      "I 5 Synchronized from a.example (127.0.0.1): offset +0.250000 s, delay 0.000000 s, stratum 2.";
  const std::string notWritten = "W 7 The settings file " + settings_.Path() +
                                 " could not be written: access denied. The clock was set all the same.";
  const std::string noServer = "E 8 No server could be used in this pass.";
  const std::string answered = "Synchronized 12:00:00 from a.example (+0.250 s)";
  const std::string none = "No server answered at 12:00:00";
  const uint32_t refused = error::kPrivilegeNotHeld;
  const struct {
    int64_t ms;
    uint32_t error;  // 0: the clock was set
    bool readOnly;   // the settings file
    size_t answers;
    Strings records;
    std::string status;
  } passes[] = {
      {0, 0, false, 1, {dead, synchronized}, answered},
      {60000, refused, false, 2, {refusedA, refusedB, noServer}, none},  // dead.unresolvable within its hour
      {3600000, 0, true, 1, {dead, notWritten, synchronized}, answered},
      {3630000, refused, false, 2, {refusedA, noServer}, none},  // b.example within its hour, a.example answered since
  };
  size_t sent = 0;
  for (const auto& p : passes) {
    SCOPED_TRACE(p.ms);
    if (p.readOnly) test::MakeReadOnly(settings_.Path());
    const std::string before = test::ReadBytes(settings_.Path());
    log_.records.clear();
    clock_.log.clear();
    clock_.refuse = p.error != 0;
    report_.BeginPass(p.ms);
    EXPECT_EQ(Pass() ? 0 : LastError(), p.error);
    EXPECT_EQ(server_.Datagrams().size(), sent += p.answers);
    Strings grants;
    for (size_t i = 0; i < p.answers; ++i) grants.insert(grants.end(), {"grant", "set", "withdraw"});
    EXPECT_EQ(clock_.log, grants);
    EXPECT_EQ(log_.records, p.records);
    EXPECT_EQ(report_.Status(), p.status);
    EXPECT_EQ(p.error != 0 ? test::ReadBytes(settings_.Path()) : before, before);
  }
}

// The offset (how far the server's clock runs ahead of ours, in 2^-32 s) is
// applied to the time read after the grant, to the nanosecond, and across the
// 2036 wrap forward, never back to 1900. "adjusted" records it with its sign
// and three decimals, "last" the new time in local time. No server is set:
// the default one, which the resolver here finds on loopback.
TEST_F(SynchronizationPassTest, OffsetsAreAppliedAndRecorded) {
  const UtcInstant now = InstantOf(MakeUtc(2026, 12, 7, 10), 123457);
  const struct { UtcInstant now; int64_t ahead; const char* adjusted; UtcInstant setTo; SystemTime last; } cases[] = {
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
  for (const auto& c : cases) {
    server_.Follow({nullptr, static_cast<uint64_t>(c.ahead), static_cast<uint64_t>(c.ahead)});
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

}  // namespace
}  // namespace orvanta
