// The synchronization pass over scripted servers, with a clock that records
// what was done to it instead of touching the machine's clock.
#include "sync/synchronization_pass.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "settings/settings_readers.h"
#include "support/fake_clock.h"
#include "support/loopback_resolver.h"
#include "support/recording_log.h"
#include "support/scripted_sntp_server.h"
#include "support/temp_dir.h"
#include "sync/ntp_era.h"

namespace orvanta {
namespace {

using test::MakeUtc;

constexpr int64_t kSecond = int64_t{1} << 32;

class SynchronizationPassTest : public testing::Test {
 protected:
  void Servers(const std::vector<const char*>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      ASSERT_TRUE(settings_.WriteString("SERVERS", ServerKey(static_cast<int>(i + 1)).c_str(), names[i]));
    }
  }
  // The server's clock runs this far ahead of ours (negative: behind).
  void ServerAhead(int64_t units) {
    server_.Change([units](test::ServerBehaviour& b) {
      b.receiveAfterRequest = b.transmitAfterRequest = static_cast<uint64_t>(units);
    });
  }
  bool Pass() { return RunSynchronizationPass(settings_, clock_, resolver_, report_, server_.Port()); }
  std::string Adjusted() const { return settings_.GetString("INFO", "adjusted", 100); }

  test::TempDir dir_;
  test::FakeClock clock_{MakeUtc(2026, 12, 7, 10, 0, 0, 0)};
  test::LoopbackResolver resolver_;
  test::ScriptedSntpServer server_;
  SettingsFile settings_{dir_.File("orvanta.ini")};
  test::RecordingLog log_;
  PassReport report_{log_};
};

TEST_F(SynchronizationPassTest, FirstApplicableAnswerWinsAndLaterServersAreNotAsked) {
  Servers({"first.unresolvable", "second.example", "third.example"});
  ServerAhead(2 * kSecond + kSecond / 2);
  ASSERT_TRUE(Pass());
  EXPECT_EQ(resolver_.asked, (std::vector<std::string>{"first.unresolvable", "second.example"}));
  EXPECT_EQ(server_.Datagrams().size(), 1u);
  EXPECT_EQ(clock_.log, (std::vector<std::string>{"grant", "set", "withdraw"}));
  EXPECT_EQ(clock_.setTo, std::vector<UtcInstant>{test::InstantOf(MakeUtc(2026, 12, 7, 10, 0, 2, 500))});
  EXPECT_EQ(Adjusted(), "2.500");
  ASSERT_EQ(log_.records.size(), 2u);
  EXPECT_EQ(log_.records[0], "W 6 Server first.unresolvable (-) failed: name not resolved.");
  EXPECT_EQ(log_.records[1].substr(0, 50), "I 5 Synchronized from second.example (127.0.0.1): ");
}

// Without the right every server is asked once, each grant is withdrawn,
// and the file stays as it was; so it does when no server answers.
TEST_F(SynchronizationPassTest, NothingIsWrittenWhenNoServerCanBeApplied) {
  Servers({"a.example", "b.example", "c.example"});
  ASSERT_TRUE(settings_.WriteString("INFO", "adjusted", "7.000"));
  const std::string before = test::ReadBytes(settings_.Path());
  clock_.refuse = true;
  EXPECT_FALSE(Pass());
  EXPECT_EQ(LastError(), error::kPrivilegeNotHeld);
  EXPECT_EQ(server_.Datagrams().size(), 3u);
  EXPECT_EQ(clock_.log.size(), 9u);
  EXPECT_EQ(clock_.log.back(), "withdraw");
  EXPECT_EQ(test::ReadBytes(settings_.Path()), before);

  Servers({"x.unresolvable", "y.unresolvable"});
  ASSERT_TRUE(settings_.WriteString("SERVERS", "server_3", ""));
  const std::string listed = test::ReadBytes(settings_.Path());
  EXPECT_FALSE(Pass());
  EXPECT_EQ(LastError(), error::kWsaHostNotFound);
  EXPECT_EQ(log_.records.back(), "E 8 No server could be used in this pass.");
  EXPECT_EQ(clock_.log.size(), 9u);
  EXPECT_EQ(test::ReadBytes(settings_.Path()), listed);
}

// The offset is applied to the time read after the grant, to the
// nanosecond, and recorded with its sign and three decimals; an offset of 0
// still sets the clock.
TEST_F(SynchronizationPassTest, OffsetsAreAppliedAndRecorded) {
  struct Case {
    int64_t ahead;
    const char* adjusted;
    UtcInstant setTo;
  };
  const Case cases[] = {
      {0, "0.000", test::InstantOf(MakeUtc(2026, 12, 7, 10, 0, 0), 123457)},
      {-(kSecond + kSecond / 4), "-1.250", test::InstantOf(MakeUtc(2026, 12, 7, 9, 59, 58, 750), 123457)},
      {8590, "0.000", test::InstantOf(MakeUtc(2026, 12, 7, 10, 0, 0), 125457)},  // 2 us
  };
  Servers({"a.example"});
  for (const Case& c : cases) {
    ServerAhead(c.ahead);
    clock_.SetSequence({test::InstantOf(MakeUtc(2026, 12, 7, 10), 123457)});
    clock_.setTo.clear();
    ASSERT_TRUE(Pass());
    EXPECT_EQ(clock_.setTo, std::vector<UtcInstant>{c.setTo}) << c.adjusted;
    EXPECT_EQ(Adjusted(), c.adjusted);
  }
}

// Across the 2036 wrap the clock goes forward, never back to 1900.
TEST_F(SynchronizationPassTest, ClockIsSetRightAcrossTheEraWrap) {
  Servers({"a.example"});
  ServerAhead(10 * kSecond);
  const SystemTime cases[][2] = {
      {MakeUtc(2036, 2, 7, 6, 28, 10), MakeUtc(2036, 2, 7, 6, 28, 20)},
      {MakeUtc(2036, 2, 7, 6, 28, 20), MakeUtc(2036, 2, 7, 6, 28, 30)},
      {MakeUtc(2040, 1, 1, 0, 0, 0), MakeUtc(2040, 1, 1, 0, 0, 10)},
  };
  for (const auto& c : cases) {
    clock_.Set(c[0]);
    clock_.setTo.clear();
    ASSERT_TRUE(Pass());
    EXPECT_EQ(clock_.setTo, std::vector<UtcInstant>{test::InstantOf(c[1])}) << c[1].wYear;
    SystemTime last;
    ASSERT_TRUE(ReadLastSync(settings_, last));
    EXPECT_GE(last.wYear, 2036);
  }
}

// "last" holds local time. The zone is two hours east of UTC: set here on
// Linux; the Windows test run starts this program with TZ set for Wine.
TEST_F(SynchronizationPassTest, LastAdjustmentIsRecordedInLocalTime) {
#ifndef _WIN32
  setenv("TZ", "UTC-2", 1);
#endif
  Servers({"a.example"});
  ServerAhead(0);
  ASSERT_TRUE(Pass());
  SystemTime last;
  ASSERT_TRUE(ReadLastSync(settings_, last));
  EXPECT_EQ(last, (SystemTime{2026, 12, 1, 7, 12, 0, 0, 0}));  // a Monday
}

}  // namespace
}  // namespace orvanta
