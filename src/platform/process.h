// What the program needs to know about and do with processes.
#pragma once

#include <string>

namespace orvanta {

// Full path of the running executable; empty when it cannot be read or does
// not fit the platform's 260-character path limit on Windows.
std::string ExecutablePath();

// Starts a command line as a new, independent process (the hand-off of a
// package to the platform's installer): nothing waits for it and it inherits
// no handle. True when the process was created. Where the platform has no
// such installer (Linux) nothing is started: false, with 120 (not implemented).
bool LaunchCommand(const std::string& commandLine);

// Ends the process at once with the given status, whatever its other threads
// are doing (a worker in a pass or paused is cut off where it stands).
[[noreturn]] void EndProcessNow(int status);

}  // namespace orvanta
