#include "sync/synchronization_pass.h"

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/local_time.h"
#include "settings/settings_readers.h"
#include "sync/ntp_era.h"

namespace orvanta {

namespace {

// "adjusted" and "last" go into the file together, in one write, so a reader
// never sees the offset of one adjustment beside the time of another.
void RecordAdjustment(const SettingsFile& settings, double offset, const NtpTimestamp& newTime) {
  const SystemTime utc = ToSystemTimeNearestEra(newTime, SystemClock().NowUtc());
  SystemTime local;
  if (!UtcToLocalTime(utc, local)) local = utc;
  WriteSyncResult(settings, local, offset);  // a failed record does not undo the adjustment
}

}  // namespace

bool RunSynchronizationPass(const SettingsFile& settings, int port) {
  std::vector<std::string> servers;
  LoadServerList(settings, servers);

  SntpClient client;
  SntpReply reply;
  for (const std::string& server : servers) {
    if (!client.Query(server.c_str(), port, reply)) continue;
    // The current time, read after the reply arrived, moved by the offset.
    const NtpTimestamp newTime = NtpTimestamp::Now().PlusSeconds(reply.offset);
    if (!client.SetSystemClock(newTime)) continue;
    RecordAdjustment(settings, reply.offset, newTime);
    return true;
  }
  return false;
}

}  // namespace orvanta
