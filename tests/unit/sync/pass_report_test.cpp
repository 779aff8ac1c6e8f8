#include "sync/pass_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "support/fake_clock.h"
#include "support/recording_log.h"
#include "sync/sntp_errors.h"

namespace orvanta {
namespace {

using Records = std::vector<std::string>;

uint32_t Loopback() {
  const uint8_t bytes[4] = {127, 0, 0, 1};
  uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

// One table of passes: what each server did, and what the log and the
// status line say. A failing server is told at its first failure, then once
// an hour; an answer from it makes its next failure a first one again.
TEST(PassReportTest, RecordsEachPassAndThrottlesADeadServer) {
  test::RecordingLog log;
  PassReport report(log);
  SntpReply reply;
  reply.offset = 0.0031;
  reply.delay = 0.012;
  reply.stratum = 2;
  const SystemTime at = test::MakeUtc(2026, 12, 7, 10, 2, 3);
  const std::string dead = "W 6 Server dead.example (-) failed: name not resolved.";
  const std::string slow = "W 6 Server slow.example (127.0.0.1) failed: no reply within 5 s.";
  const std::string synchronized =
      "I 5 Synchronized from good.example (127.0.0.1): offset +0.003100 s, delay 0.012000 s, stratum 2.";
  struct Pass {
    int64_t atMs;
    bool answered;
    Records expected;
    const char* status;
  };
  const Pass passes[] = {
      {0, true, {dead, slow, synchronized}, "Synchronized 10:02:03 from good.example (+0.003 s)"},
      {60000, false, {"E 8 No server could be used in this pass."}, "No server answered at 10:02:03"},
      {3600000, true, {dead, slow, synchronized}, "Synchronized 10:02:03 from good.example (+0.003 s)"},
  };
  for (const Pass& pass : passes) {
    log.records.clear();
    report.BeginPass(pass.atMs);
    report.ServerFailed("dead.example", false, 0, error::kWsaHostNotFound);
    report.ServerFailed("slow.example", true, Loopback(), error::kWsaTimedOut);
    if (pass.answered) {
      report.Synchronized("good.example", Loopback(), reply, at);
    } else {
      report.ServerFailed("good.example", true, Loopback(), error::kPrivilegeNotHeld);
      report.NoServer(at);
    }
    Records expected = pass.expected;
    if (!pass.answered) expected.insert(expected.begin(), "W 6 Server good.example (127.0.0.1) failed: clock refused: no right to set the clock.");
    EXPECT_EQ(log.records, expected) << pass.atMs;
    EXPECT_EQ(report.Status(), pass.status);
  }
  // good.example answered at 3600000, so its failure a minute later is new.
  log.records.clear();
  report.BeginPass(3660000);
  report.ServerFailed("good.example", true, Loopback(), error::kReplyKissOfDeath);
  EXPECT_EQ(log.records.size(), 1u);
}

TEST(PassReportTest, ASettingsFileThatCannotBeWrittenIsAWarning) {
  test::RecordingLog log;
  PassReport report(log);
  report.SettingsNotWritten("/opt/orvanta/orvanta.ini", error::kAccessDenied);
  EXPECT_EQ(log.records, Records{"W 7 The settings file /opt/orvanta/orvanta.ini could not be written: access denied. "
                                 "The clock was set all the same."});
}

}  // namespace
}  // namespace orvanta
