#include "sync/server_query.h"

#include <gtest/gtest.h>

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

uint32_t Address(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t bytes[4] = {a, b, c, d};  // network byte order
  uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

TEST(ServerQueryTest, LinesForAnAnswerAndForEachKindOfFailure) {
  SntpReply reply;
  reply.offset = 0.000123;
  reply.delay = 0.000456;
  reply.stratum = 2;
  const uint32_t address = Address(192, 0, 2, 1);
  EXPECT_EQ(QueryLine("time.example", true, address, true, reply, 0),
            "time.example 192.0.2.1 offset=+0.000123 delay=0.000456 stratum=2 leap=0");
  reply.offset = -0.25;
  reply.leapIndicator = 1;
  EXPECT_EQ(QueryLine("h", true, address, true, reply, 0), "h 192.0.2.1 offset=-0.250000 delay=0.000456 stratum=2 leap=1");
  EXPECT_EQ(QueryLine("nowhere.example", false, 0, false, reply, error::kWsaHostNotFound),
            "nowhere.example - error=11001 name not resolved");
  EXPECT_EQ(QueryLine("h", true, address, false, reply, error::kWsaTimedOut), "h 192.0.2.1 error=10060 no reply within 5 s");
  EXPECT_EQ(QueryLine("h", true, address, false, reply, error::kReplyKissOfDeath),
            "h 192.0.2.1 error=536871172 refused reply: kiss-o'-death, the server refuses to serve (stratum 0)");
  EXPECT_EQ(QueryLine("h", true, address, false, reply, 4242), "h 192.0.2.1 error=4242 unexpected error");
}

// Every host is asked, in order, whatever the one before did; the clock is
// only read.
TEST(ServerQueryTest, AsksEveryHostAndCountsTheAnswers) {
  test::FakeClock clock;
  test::LoopbackResolver resolver;
  test::ScriptedSntpServer server;
  SntpClient client(clock, resolver);
  std::vector<std::string> lines;
  const int answered = QueryServers(client, {"gone.unresolvable", "127.0.0.1", "time.example"}, server.Port(),
                                    [&lines](const std::string& line) { lines.push_back(line); });
  EXPECT_EQ(answered, 2);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "gone.unresolvable - error=11001 name not resolved");
  EXPECT_EQ(lines[1], "127.0.0.1 127.0.0.1 offset=+0.250000 delay=0.000000 stratum=2 leap=0");
  EXPECT_EQ(lines[2].substr(0, 33), "time.example 127.0.0.1 offset=+0.");
  EXPECT_TRUE(clock.log.empty());
}

}  // namespace
}  // namespace orvanta
