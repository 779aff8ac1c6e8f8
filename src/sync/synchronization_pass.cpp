#include "sync/synchronization_pass.h"

#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/local_time.h"
#include "settings/settings_readers.h"
#include "sync/ntp_era.h"

namespace orvanta {

namespace {

// "adjusted" and "last" go into the file together, in one write, so a reader
// never sees the offset of one adjustment beside the time of another.
void RecordAdjustment(const SettingsFile& settings, Clock& clock, double offset, const NtpTimestamp& newTime) {
  const SystemTime utc = ToSystemTimeNearestEra(newTime, clock.Now());
  SystemTime local;
  if (!UtcToLocalTime(utc, local)) local = utc;
  WriteSyncResult(settings, local, offset);  // a failed record does not undo the adjustment
}

}  // namespace

bool MoveClock(Clock& clock, double offset, NtpTimestamp& newTime) {
  bool set = false;
  if (clock.GrantSetRight()) {
    const UtcInstant now = clock.Now();
    const NtpTimestamp moved = NtpTimestamp::FromInstant(now).PlusSeconds(offset);
    // Read in the era of the clock's own time, so a wrapped timestamp never
    // sends the clock back to 1900.
    set = clock.Set(ToInstantNearestEra(moved, now));
    if (set) newTime = moved;
  }
  LastErrorKeeper keep;  // the reason of a refusal outlives the withdrawal
  clock.WithdrawSetRight();
  return set;
}

bool RunSynchronizationPass(const SettingsFile& settings, Clock& clock, HostResolver& resolver, int port) {
  std::vector<std::string> servers;
  LoadServerList(settings, servers);

  SntpClient client(clock, resolver);
  SntpReply reply;
  for (const std::string& server : servers) {
    if (!client.Query(server.c_str(), port, reply)) continue;
    NtpTimestamp newTime;
    if (!MoveClock(clock, reply.offset, newTime)) continue;
    RecordAdjustment(settings, clock, reply.offset, newTime);
    return true;
  }
  return false;
}

}  // namespace orvanta
