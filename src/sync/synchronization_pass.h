// One synchronization pass: the configured servers in order, the first answer
// that can be applied sets the clock, and the settings file records the offset
// and the local time of the adjustment.
#pragma once

#include "platform/clock.h"
#include "platform/host_resolver.h"
#include "settings/settings_file.h"
#include "sync/nts/nts_client.h"
#include "sync/pass_report.h"
#include "sync/sntp_client.h"

namespace orvanta {

// True when the clock was set from some server. Nothing is written when no
// server succeeds. The clock is read for the request, the arrival and the new
// time, and is set through its grant, set and withdraw. What happened goes
// to the report. The port of plain entries is the NTP port except in tests.
// NTS entries go through nts, which keeps its cookies for the next pass;
// without one, the pass uses a client of its own.
bool RunSynchronizationPass(const SettingsFile& settings, Clock& clock, HostResolver& resolver, PassReport& report,
                            int port = kNtpPort, NtsClient* nts = nullptr);

// Moves the clock by offset seconds: grant the right, read the time, set it
// to that time plus the offset (read in the era of the clock's own time), and
// withdraw the right in every case. The time is read after the grant, as
// close to the change as it can be. True when the system accepted the new
// time, which newTime then holds; on false the last-error value tells why.
bool MoveClock(Clock& clock, double offset, NtpTimestamp& newTime);

}  // namespace orvanta
