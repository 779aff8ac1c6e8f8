// The clock-setting side of the SNTP client: grant the right, set, withdraw.
#include "platform/clock.h"
#include "platform/last_error.h"
#include "sync/ntp_era.h"
#include "sync/sntp_client.h"

namespace orvanta {

bool SntpClient::EnableClockPrivilege() { return SystemClock().GrantSetRight(); }

bool SntpClient::SetSystemClock(const NtpTimestamp& timestamp) {
  Clock& clock = SystemClock();
  bool set = false;
  if (clock.GrantSetRight()) {
    // Read in the era of the clock's own time, so a wrapped timestamp never
    // sends the clock back to 1900.
    set = clock.SetUtc(ToSystemTimeNearestEra(timestamp, clock.NowUtc()));
  }
  LastErrorKeeper keep;  // the reason of a refusal outlives the withdrawal
  clock.WithdrawSetRight();
  return set;
}

}  // namespace orvanta
