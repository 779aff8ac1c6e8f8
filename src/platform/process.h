// What the program needs to know about and do with processes.
#pragma once

#include <string>

namespace orvanta {

// Full path of the running executable; empty when it cannot be read or does
// not fit the platform's 260-character path limit on Windows.
std::string ExecutablePath();

// Ends the process at once with the given status, whatever its other threads
// are doing (a worker in a pass or paused is cut off where it stands).
[[noreturn]] void EndProcessNow(int status);

}  // namespace orvanta
