// The entry routines of the roles that live in other layers. Start-up
// dispatches to them; a role whose routine is absent ends at once.
#pragma once

#include <functional>
#include <memory>

#include "platform/named_event.h"

namespace orvanta {

class TimeSyncApp;

struct RoleRoutines {
  // "options": the settings window; answers the process's exit status.
  std::function<int(TimeSyncApp& app)> options;
  // "installme" / "uninstallme": true when the service was installed / removed.
  std::function<bool(TimeSyncApp& app)> installService;
  std::function<bool(TimeSyncApp& app)> removeService;
  // "debug": the periodic worker in the foreground, until the event is signalled.
  std::function<void(TimeSyncApp& app, std::shared_ptr<NamedEvent> stopEvent)> runWorker;
  // No argument: the service dispatcher; returns when the service has stopped,
  // or at once when the process was not started as a service.
  std::function<void(TimeSyncApp& app, std::shared_ptr<NamedEvent> stopEvent)> runServiceDispatcher;
};

}  // namespace orvanta
