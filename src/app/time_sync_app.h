// The one application object: start-up, the settings path, and the dispatch
// of the command line to the program's roles.
#pragma once

#include <memory>
#include <string>

#include "app/role_routines.h"
#include "app/startup_services.h"
#include "platform/network_session.h"
#include "platform/system_log.h"
#include "sync/pass_report.h"
#include "settings/settings_file.h"

namespace orvanta {

// Process exit statuses.
constexpr int kExitSuccess = 0;
constexpr int kExitNotSynchronized = 1;  // "once" could not set the clock
constexpr int kExitFailure = 1;          // start-up failed, or the role failed
constexpr int kExitUsage = 2;            // a command line the role does not take

class TimeSyncApp {
 public:
  TimeSyncApp(StartupServices services, RoleRoutines routines);

  // The start-up hook: prepares the process, dispatches on argv[1] and runs
  // the chosen role to its end. Always false: no message loop follows.
  bool InitInstance(int argc, const char* const* argv);

  // One synchronization pass over the configured servers; what happened
  // goes to the log, and its outcome to the service manager's status line.
  bool Synchronize();

  const SettingsFile& Settings() const { return settings_; }
  // The log of this process's role (nothing is recorded for the window).
  LogSink& Log() { return *log_; }
  const std::string& Title() const { return title_; }
  int ExitCode() const { return exitCode_; }

 private:
  void RunOnce();
  void RunQuery(int argc, const char* const* argv);
  void LaunchInstaller(const char* option, const char* package);
  void RunBackgroundRole(const char* argument);
  void OpenLog(bool toTerminal);

  StartupServices services_;
  RoleRoutines routines_;
  std::unique_ptr<NetworkSession> network_;
  SettingsFile settings_;
  std::string title_;
  int exitCode_ = kExitSuccess;
  std::unique_ptr<LogSink> log_;
  std::unique_ptr<PassReport> report_;
};

}  // namespace orvanta
