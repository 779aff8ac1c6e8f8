// The synchronization pass over scripted servers, with a clock that records
// what was done to it instead of touching the machine's clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host_resolver.h"
#include "platform/last_error.h"
#include "settings/settings_file.h"
#include "settings/settings_readers.h"
#include "support/fake_clock.h"
#include "support/scripted_sntp_server.h"
#include "support/temp_dir.h"
#include "sync/ntp_era.h"
#include "sync/synchronization_pass.h"

namespace orvanta {
namespace {

using test::MakeUtc;

// Records grant, set and withdraw; refuses the change when told to.
class RecordingClock : public test::FakeClock {
 public:
  using FakeClock::FakeClock;
  bool GrantSetRight() override {
    log.push_back("grant");
    return true;
  }
  bool SetUtc(const SystemTime& utc) override {
    log.push_back("set");
    if (refuse) {
      SetLastError(error::kPrivilegeNotHeld);
      return false;
    }
    setTo.push_back(utc);
    return true;
  }
  void WithdrawSetRight() override { log.push_back("withdraw"); }

  bool refuse = false;
  std::vector<std::string> log;
  std::vector<SystemTime> setTo;
};

// Names ending in ".unresolvable" fail as unknown hosts; every other name is
// the scripted server on 127.0.0.1. Each lookup is recorded.
class TestResolver : public HostResolver {
 public:
  bool Resolve(const char* host, uint32_t& address) override {
    asked.push_back(host);
    const std::string name(host);
    if (name.size() > 13 && name.compare(name.size() - 13, 13, ".unresolvable") == 0) {
      SetLastError(error::kWsaHostNotFound);
      return false;
    }
    const uint8_t loopback[4] = {127, 0, 0, 1};
    std::memcpy(&address, loopback, 4);  // network byte order
    return true;
  }
  std::vector<std::string> asked;
};

constexpr uint64_t kSecond = uint64_t{1} << 32;

class SynchronizationPassTest : public testing::Test {
 protected:
  SynchronizationPassTest()
      : clock_(MakeUtc(2026, 12, 7, 10, 0, 0, 0)),
        clockOverride_(clock_),
        resolverOverride_(resolver_),
        settings_(dir_.Path() + "/orvanta.ini") {}

  void Servers(const std::vector<const char*>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string key = "server_" + std::to_string(i + 1);
      ASSERT_TRUE(settings_.WriteString("SERVERS", key.c_str(), names[i]));
    }
  }
  // The server's clock runs this far ahead of ours (negative: behind).
  void ServerAhead(int64_t units) {
    server_.Change([units](test::ServerBehaviour& b) {
      b.receiveAfterRequest = static_cast<uint64_t>(units);
      b.transmitAfterRequest = static_cast<uint64_t>(units);
    });
  }
  std::string FileBytes() const {
    std::ifstream in(settings_.Path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  bool Pass() { return RunSynchronizationPass(settings_, server_.Port()); }

  test::TempDir dir_;
  RecordingClock clock_;
  ScopedClockOverride clockOverride_;
  TestResolver resolver_;
  ScopedResolverOverride resolverOverride_;
  test::ScriptedSntpServer server_;
  SettingsFile settings_;
};

TEST_F(SynchronizationPassTest, FirstApplicableAnswerWinsAndLaterServersAreNotAsked) {
  Servers({"first.unresolvable", "second.example", "third.example"});
  ServerAhead(2 * kSecond + kSecond / 2);
  ASSERT_TRUE(Pass());

  EXPECT_EQ(resolver_.asked, (std::vector<std::string>{"first.unresolvable", "second.example"}));
  EXPECT_EQ(server_.Datagrams().size(), 1u);
  EXPECT_EQ(clock_.log, (std::vector<std::string>{"grant", "set", "withdraw"}));
  ASSERT_EQ(clock_.setTo.size(), 1u);
  const int64_t setMs = SecondsSince1900(clock_.setTo[0]) * 1000 + clock_.setTo[0].wMilliseconds;
  const int64_t nowMs = SecondsSince1900(MakeUtc(2026, 12, 7, 10, 0, 0)) * 1000;
  EXPECT_NEAR(static_cast<double>(setMs - nowMs), 2500.0, 1.0);
  EXPECT_EQ(settings_.GetString("INFO", "adjusted", 100), "2.500");
}

TEST_F(SynchronizationPassTest, RefusedClockAsksEveryServerOnceAndWritesNothing) {
  Servers({"a.example", "b.example", "c.example"});
  ServerAhead(kSecond);
  ASSERT_TRUE(settings_.WriteString("INFO", "adjusted", "7.000"));
  const std::string before = FileBytes();
  clock_.refuse = true;

  EXPECT_FALSE(Pass());
  EXPECT_EQ(LastError(), error::kPrivilegeNotHeld);
  EXPECT_EQ(resolver_.asked, (std::vector<std::string>{"a.example", "b.example", "c.example"}));
  EXPECT_EQ(server_.Datagrams().size(), 3u);
  // Each refused change still withdrew the right it was granted.
  EXPECT_EQ(clock_.log, (std::vector<std::string>{"grant", "set", "withdraw", "grant", "set", "withdraw",
                                                  "grant", "set", "withdraw"}));
  EXPECT_EQ(FileBytes(), before);
}

TEST_F(SynchronizationPassTest, NoServerAnsweringLeavesTheRecordAlone) {
  Servers({"x.unresolvable", "y.unresolvable"});
  ASSERT_TRUE(settings_.WriteString("INFO", "adjusted", "1.000"));
  const std::string before = FileBytes();
  EXPECT_FALSE(Pass());
  EXPECT_EQ(LastError(), error::kWsaHostNotFound);
  EXPECT_TRUE(clock_.log.empty());
  EXPECT_EQ(FileBytes(), before);
}

TEST_F(SynchronizationPassTest, ZeroOffsetStillSetsTheClockAndRecordsIt) {
  Servers({"a.example"});
  ServerAhead(0);
  ASSERT_TRUE(Pass());
  ASSERT_EQ(clock_.setTo.size(), 1u);
  EXPECT_EQ(clock_.setTo[0].wHour, 10);
  EXPECT_EQ(clock_.setTo[0].wMinute, 0);
  EXPECT_EQ(clock_.setTo[0].wSecond, 0);
  EXPECT_EQ(settings_.GetString("INFO", "adjusted", 100), "0.000");
  SystemTime last;
  EXPECT_TRUE(ReadLastSync(settings_, last));
}

TEST_F(SynchronizationPassTest, ClockAheadOfTheServerIsRecordedWithItsSign) {
  Servers({"a.example"});
  ServerAhead(-static_cast<int64_t>(kSecond + kSecond / 4));
  ASSERT_TRUE(Pass());
  EXPECT_EQ(settings_.GetString("INFO", "adjusted", 100), "-1.250");
  EXPECT_EQ(clock_.setTo[0].wSecond, 58);
  EXPECT_EQ(clock_.setTo[0].wMinute, 59);
  EXPECT_EQ(clock_.setTo[0].wHour, 9);
}

// Across the 2036 wrap the clock goes forward, never back to 1900.
TEST_F(SynchronizationPassTest, ClockIsSetRightAcrossTheEraWrap) {
  Servers({"a.example"});
  ServerAhead(10 * kSecond);
  const SystemTime starts[] = {MakeUtc(2036, 2, 7, 6, 28, 10), MakeUtc(2036, 2, 7, 6, 28, 20),
                               MakeUtc(2040, 1, 1, 0, 0, 0)};
  const SystemTime expected[] = {MakeUtc(2036, 2, 7, 6, 28, 20), MakeUtc(2036, 2, 7, 6, 28, 30),
                                 MakeUtc(2040, 1, 1, 0, 0, 10)};
  for (int i = 0; i < 3; ++i) {
    clock_.Set(starts[i]);
    clock_.setTo.clear();
    ASSERT_TRUE(Pass());
    ASSERT_EQ(clock_.setTo.size(), 1u);
    SystemTime got = clock_.setTo[0];
    got.wDayOfWeek = 0;
    EXPECT_EQ(got, expected[i]) << i << ": " << got.wYear << "-" << got.wMonth << "-" << got.wDay << " "
                                << got.wHour << ":" << got.wMinute << ":" << got.wSecond;
    SystemTime last;
    ASSERT_TRUE(ReadLastSync(settings_, last));
    EXPECT_GE(last.wYear, 2036);
  }
}

// "last" holds local time. The zone is two hours east of UTC: set here on
// Linux; the Windows test run starts this program with TZ set for Wine.
TEST_F(SynchronizationPassTest, LastAdjustmentIsRecordedInLocalTime) {
#ifndef _WIN32
  const char* previous = std::getenv("TZ");
  const std::string saved = previous ? previous : "";
  setenv("TZ", "UTC-2", 1);
#endif
  Servers({"a.example"});
  ServerAhead(0);
  ASSERT_TRUE(Pass());
  SystemTime last;
  ASSERT_TRUE(ReadLastSync(settings_, last));
#ifndef _WIN32
  if (previous) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
#endif
  EXPECT_EQ(last.wYear, 2026);
  EXPECT_EQ(last.wDay, 7);
  EXPECT_EQ(last.wHour, 12);
  EXPECT_EQ(last.wMinute, 0);
  EXPECT_EQ(last.wDayOfWeek, 1);  // a Monday
}

}  // namespace
}  // namespace orvanta
