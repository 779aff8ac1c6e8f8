#include "sync/synchronization_pass.h"

#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/local_time.h"
#include "settings/settings_readers.h"
#include "sync/ntp_era.h"

namespace orvanta {

namespace {

// The local time of an instant read in the era of the clock's own time.
SystemTime LocalTimeOf(const NtpTimestamp& time, Clock& clock) {
  const SystemTime utc = ToSystemTimeNearestEra(time, clock.Now());
  SystemTime local;
  return UtcToLocalTime(utc, local) ? local : utc;
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

bool RunSynchronizationPass(const SettingsFile& settings, Clock& clock, HostResolver& resolver, PassReport& report,
                            int port, NtsClient* nts) {
  std::vector<std::string> servers;
  LoadServerList(settings, servers);

  SntpClient client(clock, resolver);
  NtsClient ownNts;
  NtsClient& authenticated = nts != nullptr ? *nts : ownNts;
  authenticated.trustFile = ReadNtsTrustFile(settings);
  SntpReply reply;
  for (const std::string& server : servers) {
    uint32_t address = 0;
    bool known = false;
    NtpTimestamp newTime;
    const bool queried = AskServer(client, authenticated, server, port, reply, known, address);
    if (!queried || !MoveClock(clock, reply.offset, newTime)) {
      report.ServerFailed(server, known, address, LastError());
      continue;
    }
    // "adjusted" and "last" go into the file together, in one write, so a
    // reader never sees the offset of one adjustment beside the time of
    // another. A failed record does not undo the adjustment.
    const SystemTime local = LocalTimeOf(newTime, clock);
    if (!WriteSyncResult(settings, local, reply.offset)) report.SettingsNotWritten(settings.Path(), LastError());
    report.Synchronized(server, address, reply, local);
    return true;
  }
  const uint32_t reason = LastError();
  report.NoServer(LocalTimeOf(NtpTimestamp::Now(clock), clock));
  SetLastError(reason);  // the last server's failure, for the caller
  return false;
}

}  // namespace orvanta
