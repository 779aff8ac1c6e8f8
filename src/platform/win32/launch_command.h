// Windows only: starts a command line as a new, independent process (the
// installer hand-off of "/I"). Nothing waits for it, no handle is inherited,
// both of its handles are closed at once. True when the process was created.
#pragma once

#include <string>

namespace orvanta {

bool LaunchCommand(const std::string& commandLine);

}  // namespace orvanta
