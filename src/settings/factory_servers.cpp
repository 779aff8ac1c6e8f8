#include "settings/factory_servers.h"

namespace orvanta {

// constexpr, so that kDefaultServer below is constant-initialized and safe to
// read from any static initializer.
constexpr const char* kFactoryServers[kFactoryServerCount] = {
    "time.cloudflare.com",
    "pool.ntp.org",
    "0.pool.ntp.org",
    "1.pool.ntp.org",
    "2.pool.ntp.org",
    "3.pool.ntp.org",
    "europe.pool.ntp.org",
    "north-america.pool.ntp.org",
    "asia.pool.ntp.org",
    "oceania.pool.ntp.org",
    "south-america.pool.ntp.org",
    "africa.pool.ntp.org",
    "time.google.com",
    "time.windows.com",
    "time.apple.com",
    "time.nist.gov",
    "ptbtime1.ptb.de",
    "ntp.metas.ch",
    "time.facebook.com",
};

const char* const kDefaultServer = kFactoryServers[1];

}  // namespace orvanta
