#include "app/real_platform.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "app/time_sync_app.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/file_store.h"
#include "platform/host_resolver.h"
#include "platform/process.h"
#include "platform/service_manager.h"
#include "platform/service_side.h"
#include "platform/sleeper.h"
#include "platform/system_log.h"
#include "service/service_host.h"
#include "service/service_installer.h"
#include "service/service_names.h"
#include "service/sync_worker.h"
#include "settings/settings_readers.h"
#include "sync/server_query.h"
#include "sync/synchronization_pass.h"
#ifdef _WIN32
#include "ui/options_dialog.h"
#endif

namespace orvanta {

namespace {

// The service host's view of the platform's service side (the Windows
// service manager, or systemd).
class RealServicePlatform final : public ServicePlatform {
 public:
  bool RegisterHandler(const char* serviceName) override { return RegisterServiceControlHandler(serviceName); }
  bool SendStatus(const ServiceStatus& status) override { return SendServiceStatus(status); }
  bool StartThread(std::function<void()> body) override {
    try {
      std::thread(std::move(body)).detach();  // ends with the process, wherever it stands
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }
};

// The service and its Event Log source go and come together.
bool InstallThisService() {
  const std::string path = ExecutablePath();
  RegisterLogSource(path);  // without it the service runs all the same, its records unnamed
  return InstallService(SystemServiceManager(), path);
}
bool RemoveThisService() {
  const bool removed = RemoveService(SystemServiceManager(), RealSleeper());
  if (removed) RemoveLogSource();
  return removed;
}

WorkerEnvironment WorkerFor(TimeSyncApp& app, NamedEvent& stopEvent) {
  WorkerEnvironment env;
  env.synchronize = [&app] { return app.Synchronize(); };
  env.readPeriodMinutes = [&app] { return ReadPeriodMinutes(app.Settings()); };
  env.sleeper = &RealSleeper();
  env.stopEvent = &stopEvent;
  return env;
}

void RunWorkerInForeground(TimeSyncApp& app, std::shared_ptr<NamedEvent> stopEvent) {
  SyncWorker(WorkerFor(app, *stopEvent)).ThreadMain();
}

// The service: the Windows Service Control Manager's, or a systemd unit's.
void RunService(TimeSyncApp& app, std::shared_ptr<NamedEvent> stopEvent) {
  static RealServicePlatform platform;
  auto host = ServiceHost::Create(platform, RealSleeper(), stopEvent, [&app, stopEvent](ServiceHost& h) {
    WorkerEnvironment env = WorkerFor(app, *stopEvent);
    env.pauseGate = &h.Gate();
    env.signalStop = [&h] { h.SignalStop(); };
    SyncWorker(env).ThreadMain();
  });
  host->SetLog(app.Log(), std::string(kServiceName) + " " + ORVANTA_VERSION + " started; settings file " +
                              app.Settings().Path() + ".");
  const bool dispatched = RunServiceDispatcher(
      kServiceName, [host] { host->ServiceMain(); }, [host](uint32_t control) { host->OnControl(control); });
  // The service has stopped; its worker may still stand anywhere, paused or
  // mid-pass, holding on to this process's objects. End here, as the
  // service manager expects, rather than unwind under it.
  if (dispatched) EndProcessNow(host->Failed() ? kExitFailure : kExitSuccess);
}

int RunOptions(TimeSyncApp& app) {
#ifdef _WIN32
  // The settings window; its "Synchronize now" runs this application's pass.
  OptionsDialogServices services = StandardOptionsDialogServices();
  services.synchronize = [&app] { return app.Synchronize(); };
  services.installService = InstallThisService;
  services.removeService = RemoveThisService;
  return RunOptionsDialog(app.Settings(), app.Title(), std::move(services));
#else
  // There is no settings window here: say where the settings live instead.
  std::fprintf(stderr, "orvanta: no options window on this platform; edit the settings file %s\n",
               app.Settings().Path().c_str());
  return kExitUsage;
#endif
}

}  // namespace

StartupServices RealStartupServices() {
  StartupServices services;
  services.executablePath = ExecutablePath();
  services.sleeper = &RealSleeper();
  services.launchInstaller = LaunchInstaller;
  services.createNamedEvent = CreateNamedEvent;
  // The NTS cookies live as long as the process: the service spends them
  // across its passes; "once" and "query" make one pass and start afresh.
  services.synchronize = [nts = std::make_shared<NtsClient>()](const SettingsFile& settings, PassReport& report) {
    return RunSynchronizationPass(settings, RealClock(), RealResolver(), report, kNtpPort, nts.get());
  };
  services.openLog = OpenSystemLog;
  services.mayWriteSettings = MayReplaceFile;
  services.relaunchElevated = RelaunchElevated;
  services.steadyMs = [] {
    return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count());
  };
  services.announce = [](const std::string& status) { SendServiceStatusText(status); };
  services.queryServers = [](const SettingsFile& settings, const std::vector<std::string>& hosts,
                             const std::function<void(const std::string&)>& print) {
    SntpClient client(RealClock(), RealResolver());  // a client only reads the clock
    NtsClient nts;
    nts.trustFile = ReadNtsTrustFile(settings);
    return QueryServers(client, hosts, kNtpPort, print, &nts);
  };
  services.writeConsole = [](const std::string& line, bool error) {
    static const bool attached = (UseCallerConsole(), true);
    (void)attached;
    std::FILE* stream = error ? stderr : stdout;
    std::fprintf(stream, "%s\n", line.c_str());
    std::fflush(stream);
  };
  return services;
}

RoleRoutines RealRoleRoutines() {
  RoleRoutines routines;
  routines.options = RunOptions;
  routines.runWorker = RunWorkerInForeground;
  routines.runServiceDispatcher = RunService;
  routines.installService = [](TimeSyncApp&) { return InstallThisService(); };
  routines.removeService = [](TimeSyncApp&) { return RemoveThisService(); };
  return routines;
}

}  // namespace orvanta
