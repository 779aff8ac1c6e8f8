// Which fault a reply is refused for when it has several. (Each fault alone
// comes out of a query against the scripted server in the client's tests.)
#include "sync/reply_checks.h"

#include <gtest/gtest.h>

#include "sync/sntp_errors.h"

namespace orvanta {
namespace {

const NtpTimestamp kSent(3446109296u, 3388729197u);

ReplyFields Reply(uint32_t leap, uint32_t stratum, NtpTimestamp originate, NtpTimestamp transmit,
                  NtpTimestamp arrival = NtpTimestamp(3446109298u, 0)) {
  ReplyFields reply;
  reply.length = 48;
  reply.mode = 4;
  reply.leapIndicator = leap;
  reply.stratum = stratum;
  reply.originate = originate;
  reply.receive = NtpTimestamp(3446109297u, 0);
  reply.transmit = transmit;
  reply.arrival = arrival;
  return reply;
}

TEST(ReplyChecksTest, FirstFaultWins) {
  const NtpTimestamp good(3446109297u, 0x100);
  const NtpTimestamp zero;
  ReplyFields tooShort;
  tooShort.length = 10;
  EXPECT_EQ(ReplyRejection(tooShort, kSent), error::kReplyTooShort);
  // A message that answers no request of ours says nothing about the server.
  EXPECT_EQ(ReplyRejection(Reply(3, 0, NtpTimestamp(1, 1), good), kSent), error::kReplyBogusOriginate);
  // A kiss-o'-death usually comes with the alarm and no timestamps.
  EXPECT_EQ(ReplyRejection(Reply(3, 0, kSent, zero), kSent), error::kReplyKissOfDeath);
  // An unsynchronized server often announces stratum 16 as well.
  EXPECT_EQ(ReplyRejection(Reply(3, 16, kSent, good), kSent), error::kReplyUnsynchronized);
  EXPECT_EQ(ReplyRejection(Reply(0, 16, kSent, zero), kSent), error::kReplyBadStratum);
  EXPECT_EQ(ReplyRejection(Reply(0, 15, kSent, zero), kSent), error::kReplyZeroTimestamp);
  // Held 1 s by the server, back after 0.1 s: the timestamps cannot be true.
  const NtpTimestamp early = kSent.PlusSeconds(0.1);
  EXPECT_EQ(ReplyRejection(Reply(0, 1, kSent, NtpTimestamp(3446109298u, 0), early), kSent), error::kReplyNegativeDelay);
  EXPECT_EQ(ReplyRejection(Reply(0, 1, kSent, good), kSent), 0u);
}

}  // namespace
}  // namespace orvanta
