#include "app/background_roles.h"

#include <chrono>
#include <memory>
#include <thread>

#include "app/time_sync_app.h"
#include "platform/process.h"
#include "platform/service_manager.h"
#include "platform/service_side.h"
#include "service/service_host.h"
#include "service/service_installer.h"
#include "service/service_names.h"
#include "service/sync_worker.h"
#include "service/system_service_platform.h"
#include "settings/settings_readers.h"

namespace orvanta {

namespace {

WorkerEnvironment WorkerFor(TimeSyncApp& app, NamedEvent& stopEvent) {
  WorkerEnvironment env;
  env.synchronize = [&app] { return app.Synchronize(); };
  env.readPeriodMinutes = [&app] { return ReadPeriodMinutes(app.Settings()); };
  env.sleep = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  env.stopEvent = &stopEvent;
  return env;
}

void RunWorkerInForeground(TimeSyncApp& app, std::shared_ptr<NamedEvent> stopEvent) {
  SyncWorker(WorkerFor(app, *stopEvent)).ThreadMain();
}

// The service: the Windows Service Control Manager's, or a systemd unit's.
void RunService(TimeSyncApp& app, std::shared_ptr<NamedEvent> stopEvent) {
  auto host = ServiceHost::Create(SystemServicePlatform(), stopEvent, [&app, stopEvent](ServiceHost& h) {
    WorkerEnvironment env = WorkerFor(app, *stopEvent);
    env.pauseGate = &h.Gate();
    env.signalStop = [&h] { h.SignalStop(); };
    SyncWorker(env).ThreadMain();
  });
  const bool dispatched = RunServiceDispatcher(
      kServiceName, [host] { host->ServiceMain(); }, [host](uint32_t control) { host->OnControl(control); });
  // The service has stopped; its worker may still stand anywhere, paused or
  // mid-pass, holding on to this process's objects. End here, as the
  // service manager expects, rather than unwind under it.
  if (dispatched) EndProcessNow(kExitSuccess);
}

}  // namespace

void AddBackgroundRoles(RoleRoutines& routines) {
  routines.runWorker = RunWorkerInForeground;
  routines.runServiceDispatcher = RunService;
  routines.installService = [](TimeSyncApp&) { return InstallService(SystemServiceManager(), ExecutablePath()); };
  routines.removeService = [](TimeSyncApp&) { return RemoveService(SystemServiceManager()); };
}

}  // namespace orvanta
