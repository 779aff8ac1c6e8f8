// Registers the program as the service "OrvantaService" and starts it; stops
// and deletes it again. Every operation answers true or false and closes
// everything it opened, on every path; none shows or keeps an error.
#pragma once

#include <string>

#include "platform/service_manager.h"
#include "platform/sleeper.h"

namespace orvanta {

constexpr uint32_t kRemovalPauseMs = 800;
constexpr size_t kMaxServicePath = 260;  // MAX_PATH, terminator included
constexpr uint32_t kErrorServiceAlreadyRunning = 1056;

// True when the service could be started or already ran afterwards. An
// executable path that is empty or does not fit answers false and registers
// nothing.
bool InstallService(ServiceManager& manager, const std::string& executablePath);
// Stop request, 800 ms, stop request and deletion; true when the deletion
// was accepted.
bool RemoveService(ServiceManager& manager, Sleeper& sleeper);

// The service-name layer: each opens and closes its own manager handle.
bool InstallServiceByName(ServiceManager& manager, const char* name, const char* binaryPath,
                          const char* description);
bool StartServiceByName(ServiceManager& manager, const char* name);
bool StopServiceByName(ServiceManager& manager, const char* name);
bool UninstallServiceByName(ServiceManager& manager, const char* name);

// The executable path as the manager must be given it: in quotes when it
// holds a blank, so that C:\Program Files\x.exe cannot start C:\Program.exe.
std::string ServiceBinaryPath(const std::string& executablePath);

}  // namespace orvanta
