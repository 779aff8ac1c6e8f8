// What the program needs to know about and do with processes.
#pragma once

#include <string>

namespace orvanta {

// Full path of the running executable; empty when it cannot be read or does
// not fit the platform's 260-character path limit on Windows.
std::string ExecutablePath();

// Hands a command line to the platform's package installer as a new,
// independent process: nothing waits for it and it inherits no handle. The
// program is MsiExec.exe from the system folder, never one found first on
// the search path (the program's own folder, the current one); the command
// line, whose first word names it, reaches it as it is. True when the
// process was created. Where there is no such installer (Linux) nothing is
// started: false, with 120 (not implemented).
bool LaunchInstaller(const std::string& commandLine);

// Starts this program again with the given arguments and the user's
// administrator rights, after the system has asked the user (UAC); true when
// it was started. False, and nothing started, where the process has those
// rights already or the platform has no such thing (Linux).
bool RelaunchElevated(const std::string& arguments);

// Ends the process at once with the given status, whatever its other threads
// are doing (a worker in a pass or paused is cut off where it stands).
[[noreturn]] void EndProcessNow(int status);

}  // namespace orvanta
