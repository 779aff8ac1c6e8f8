#include "app/time_sync_app.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_words.h"
#include "service/service_names.h"
#include "settings/ini_document.h"
#include "settings/settings_readers.h"

namespace orvanta {

namespace {

// The window's passes, and the roles before they open their log, record nothing.
class NoLog final : public LogSink {
 public:
  void Write(LogLevel, uint32_t, const std::string&) override {}
};

// Command words are compared without regard to case.
bool SameWord(const char* typed, const char* word) { return IniNamesEqual(typed, word); }

}  // namespace

TimeSyncApp::TimeSyncApp(StartupServices services, RoleRoutines routines)
    : services_(std::move(services)),
      routines_(std::move(routines)),
      settings_(std::string()),
      log_(std::make_unique<NoLog>()),
      report_(std::make_unique<PassReport>(*log_)) {}

bool TimeSyncApp::InitInstance(int argc, const char* const* argv) {
  network_ = std::make_unique<NetworkSession>();
  if (!network_->Started()) {
    exitCode_ = kExitFailure;
    return false;
  }
  settings_ = SettingsFile(SettingsFile::PathForExecutable(services_.executablePath));

  if (argc < 2) {
    RunBackgroundRole("");
  } else if (argc > 2 && SameWord(argv[1], kWordInstaller)) {
    LaunchInstaller(argv[1], argv[2]);
  } else if (SameWord(argv[1], kWordOptions)) {
    title_ = kApplicationTitle;
    // A window that could not save would lose the user's edits: where the
    // file cannot be written, the window comes again with the rights to.
    if (services_.mayWriteSettings && !services_.mayWriteSettings(settings_.Path()) && services_.relaunchElevated &&
        services_.relaunchElevated(kWordOptions)) {
      return false;
    }
    if (routines_.options) exitCode_ = routines_.options(*this);
  } else if (SameWord(argv[1], kWordOnce)) {
    RunOnce();
  } else if (SameWord(argv[1], kWordQuery)) {
    RunQuery(argc, argv);
  } else {
    RunBackgroundRole(argv[1]);
  }
  return false;
}

void TimeSyncApp::OpenLog(bool toTerminal) {
  std::unique_ptr<LogSink> log = services_.openLog ? services_.openLog(toTerminal) : nullptr;
  if (log) log_ = std::move(log);
  report_ = std::make_unique<PassReport>(*log_);
}

bool TimeSyncApp::Synchronize() {
  if (!services_.synchronize) return false;
  report_->BeginPass(services_.steadyMs ? services_.steadyMs() : 0);
  const bool synchronized = services_.synchronize(settings_, *report_);
  if (services_.announce && !report_->Status().empty()) services_.announce(report_->Status());
  return synchronized;
}

void TimeSyncApp::RunOnce() {
  OpenLog(false);
  services_.sleeper->Sleep(ReadOnceDelayMs(settings_));
  exitCode_ = Synchronize() ? kExitSuccess : kExitNotSynchronized;
}

// Asks and reports; never sets the clock nor writes the settings file.
void TimeSyncApp::RunQuery(int argc, const char* const* argv) {
  std::vector<std::string> hosts(argv + 2, argv + argc);
  for (const std::string& host : hosts) {
    if (host.empty() || host[0] == '-') {
      if (services_.writeConsole) services_.writeConsole(kQueryUsage, true);
      exitCode_ = kExitUsage;
      return;
    }
  }
  if (hosts.empty()) LoadServerList(settings_, hosts);
  const auto print = [this](const std::string& line) {
    if (services_.writeConsole) services_.writeConsole(line, false);
  };
  const int answered = services_.queryServers ? services_.queryServers(settings_, hosts, print) : 0;
  exitCode_ = answered > 0 ? kExitSuccess : kExitFailure;
}

void TimeSyncApp::LaunchInstaller(const char* option, const char* package) {
  if (!services_.launchInstaller) return;
  const int size = std::snprintf(nullptr, 0, kInstallerCommandFormat, option, package);
  std::vector<char> commandLine(static_cast<size_t>(size) + 1);
  std::snprintf(commandLine.data(), commandLine.size(), kInstallerCommandFormat, option, package);
  services_.launchInstaller(commandLine.data());  // a failure to launch is not reported
}

void TimeSyncApp::RunBackgroundRole(const char* argument) {
  if (SameWord(argument, kWordInstall)) {
    if (routines_.installService) exitCode_ = routines_.installService(*this) ? kExitSuccess : kExitFailure;
    return;
  }
  if (SameWord(argument, kWordUninstall)) {
    if (routines_.removeService) exitCode_ = routines_.removeService(*this) ? kExitSuccess : kExitFailure;
    return;
  }
  // The event doubles as the guard: while one process in the service or
  // "debug" role holds it, a second one ends here, silently.
  std::shared_ptr<NamedEvent> event = services_.createNamedEvent(kServiceEventName);
  if (!event || event->AlreadyExisted()) return;
  const bool debug = SameWord(argument, kWordDebug);
  OpenLog(debug);
  if (debug) {
    if (routines_.runWorker) routines_.runWorker(*this, event);
  } else if (routines_.runServiceDispatcher) {
    routines_.runServiceDispatcher(*this, event);
  }
}

}  // namespace orvanta
