// What the program needs to know about and do with processes.
#pragma once

#include <string>

namespace orvanta {

// Full path of the running executable; empty when it cannot be read or does
// not fit the platform's 260-character path limit on Windows.
std::string ExecutablePath();

}  // namespace orvanta
