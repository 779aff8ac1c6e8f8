#include <chrono>
#include <thread>

#include "app/startup_services.h"
#include "platform/process.h"
#include "sync/synchronization_pass.h"
#ifdef _WIN32
#include "platform/win32/launch_command.h"
#endif

namespace orvanta {

StartupServices RealStartupServices() {
  StartupServices services;
  services.executablePath = ExecutablePath();
  services.sleep = [](uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  };
#ifdef _WIN32
  services.launchCommand = [](const std::string& commandLine) { return LaunchCommand(commandLine); };
#endif
  services.createNamedEvent = [](const char* name) { return CreateNamedEvent(name); };
  services.synchronize = [](const SettingsFile& settings) { return RunSynchronizationPass(settings); };
  return services;
}

}  // namespace orvanta
