// One synchronization pass: the configured servers in order, the first answer
// that can be applied sets the clock, and the settings file records the offset
// and the local time of the adjustment.
#pragma once

#include "settings/settings_file.h"
#include "sync/sntp_client.h"

namespace orvanta {

// True when the clock was set from some server. Nothing is written when no
// server succeeds. The port is the NTP port except in tests.
bool RunSynchronizationPass(const SettingsFile& settings, int port = kNtpPort);

}  // namespace orvanta
