#include "sync/pass_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/udp_socket.h"
#include "support/fake_clock.h"
#include "support/recording_log.h"
#include "sync/sntp_errors.h"

namespace orvanta {
namespace {

using Records = std::vector<std::string>;

// A failing server is told at its first failure, then once an hour; an
// answer from it makes its next failure a first one again.
TEST(PassReportTest, RecordsEachPassAndThrottlesADeadServer) {
  test::RecordingLog log;
  PassReport report(log);
  uint32_t loopback = 0;
  ASSERT_TRUE(UdpSocket::ParseDottedQuad("127.0.0.1", loopback));
  SntpReply reply;
  reply.offset = 0.0031;
  reply.delay = 0.012;
  reply.stratum = 2;
  const SystemTime at = test::MakeUtc(2026, 12, 7, 10, 2, 3);
  const std::string dead = "W 6 Server dead.example (-) failed: name not resolved.";
  const std::string refused = "W 6 Server good.example (127.0.0.1) failed: clock refused: no right to set the clock.";
  const std::string synchronized =
      "I 5 Synchronized from good.example (127.0.0.1): offset +0.003100 s, delay 0.012000 s, stratum 2.";
  const std::string noServer = "E 8 No server could be used in this pass.";
  const std::string answered = "Synchronized 10:02:03 from good.example (+0.003 s)";
  const struct {
    int64_t atMs;
    Records records;
    std::string status;
  } passes[] = {
      {0, {dead, synchronized}, answered},
      {60000, {refused, noServer}, "No server answered at 10:02:03"},
      {3600000, {dead, synchronized}, answered},
      {3630000, {refused, noServer}, "No server answered at 10:02:03"},  // within the hour of its last failure
  };
  for (const auto& pass : passes) {
    log.records.clear();
    report.BeginPass(pass.atMs);
    report.ServerFailed("dead.example", false, 0, error::kWsaHostNotFound);
    if (pass.status == answered) {
      report.Synchronized("good.example", loopback, reply, at);
    } else {
      report.ServerFailed("good.example", true, loopback, error::kPrivilegeNotHeld);
      report.NoServer(at);
    }
    EXPECT_EQ(log.records, pass.records) << pass.atMs;
    EXPECT_EQ(report.Status(), pass.status);
  }
  log.records.clear();
  report.SettingsNotWritten("/opt/orvanta/orvanta.ini", error::kAccessDenied);
  EXPECT_EQ(log.records, Records{"W 7 The settings file /opt/orvanta/orvanta.ini could not be written: access denied. "
                                 "The clock was set all the same."});
}

}  // namespace
}  // namespace orvanta
