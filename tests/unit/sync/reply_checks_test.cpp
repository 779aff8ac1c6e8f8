#include "sync/reply_checks.h"

#include <gtest/gtest.h>

#include "sync/sntp_errors.h"

namespace orvanta {
namespace {

const NtpTimestamp kSent(3446109296u, 3388729197u);

ReplyFields GoodReply() {
  ReplyFields reply;
  reply.length = 48;
  reply.mode = 4;
  reply.stratum = 2;
  reply.originate = kSent;
  reply.receive = NtpTimestamp(3446109297u, 0);
  reply.transmit = NtpTimestamp(3446109297u, 0x100);
  return reply;
}

// Each predicate alone, at the edges of what it accepts. (Each code comes
// out of a query against the scripted server in the client's tests.)
TEST(ReplyChecksTest, EachCheckAtItsEdges) {
  EXPECT_EQ(ReplyRejection(GoodReply(), kSent), 0u);
  ReplyFields reply = GoodReply();
  reply.length = 47;
  EXPECT_TRUE(IsTooShort(reply));
  reply.length = 68;
  EXPECT_FALSE(IsTooShort(reply));
  for (uint32_t value = 0; value < 8; ++value) {
    reply = GoodReply();
    reply.mode = value;
    EXPECT_EQ(IsNotFromServer(reply), value != 4) << "mode " << value;
    reply.leapIndicator = value % 4;
    EXPECT_EQ(IsUnsynchronized(reply), value % 4 == 3) << "leap " << value % 4;
  }
  for (const uint32_t stratum : {0u, 1u, 15u, 16u, 255u}) {
    reply.stratum = stratum;
    EXPECT_EQ(IsKissOfDeath(reply), stratum == 0) << stratum;
    EXPECT_EQ(HasBadStratum(reply), stratum > 15) << stratum;
  }
  // All 64 bits of the originate count: the fraction alone, the seconds
  // alone, or the halves swapped.
  EXPECT_FALSE(HasBogusOriginate(GoodReply(), kSent));
  EXPECT_TRUE(HasBogusOriginate(GoodReply(), NtpTimestamp(kSent.seconds, kSent.fraction ^ 1)));
  EXPECT_TRUE(HasBogusOriginate(GoodReply(), NtpTimestamp(kSent.seconds + 1, kSent.fraction)));
  EXPECT_TRUE(HasBogusOriginate(GoodReply(), NtpTimestamp(kSent.fraction, kSent.seconds)));
  reply = GoodReply();
  reply.receive = NtpTimestamp(0, 1);
  reply.transmit = NtpTimestamp(1, 0);
  EXPECT_FALSE(HasZeroTimestamp(reply));
  reply.transmit = NtpTimestamp();
  EXPECT_TRUE(HasZeroTimestamp(reply));
}

TEST(ReplyChecksTest, FirstFaultWins) {
  // A zeroed datagram of 10 bytes is too short before it is anything else.
  ReplyFields empty;
  empty.length = 10;
  EXPECT_EQ(ReplyRejection(empty, kSent), error::kReplyTooShort);
  // A message that answers no request of ours says nothing about the server.
  ReplyFields stray = GoodReply();
  stray.originate = NtpTimestamp(1, 1);
  stray.stratum = 0;
  stray.leapIndicator = 3;
  EXPECT_EQ(ReplyRejection(stray, kSent), error::kReplyBogusOriginate);
  // A kiss-o'-death usually comes with the alarm and no timestamps.
  ReplyFields kiss = GoodReply();
  kiss.stratum = 0;
  kiss.leapIndicator = 3;
  kiss.receive = kiss.transmit = NtpTimestamp();
  EXPECT_EQ(ReplyRejection(kiss, kSent), error::kReplyKissOfDeath);
  // An unsynchronized server often announces stratum 16 as well.
  ReplyFields unsynchronized = GoodReply();
  unsynchronized.leapIndicator = 3;
  unsynchronized.stratum = 16;
  EXPECT_EQ(ReplyRejection(unsynchronized, kSent), error::kReplyUnsynchronized);
}

}  // namespace
}  // namespace orvanta
