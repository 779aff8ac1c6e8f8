// The product version recorded in the running executable's version resource.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

// The fixed product version of the running executable: versionHigh holds
// the first two parts (16 bits each), versionLow the last two. False, with
// both untouched, when the executable has no readable version resource.
bool GetProgramVersion(uint32_t& versionHigh, uint32_t& versionLow);

// The same for any file.
bool GetFileProductVersion(const std::string& path, uint32_t& versionHigh, uint32_t& versionLow);

}  // namespace orvanta
