// The public NTP servers the program knows out of the box: the options window
// offers them as its factory list, and the second one is the server used when
// the settings file names none.
#pragma once

#include <cstddef>

namespace orvanta {

constexpr size_t kFactoryServerCount = 19;
extern const char* const kFactoryServers[kFactoryServerCount];

// The server used when the settings name none: kFactoryServers[1].
extern const char* const kDefaultServer;

}  // namespace orvanta
