// The one place that wires the real platform (clock, resolver, sleeper,
// named event, service manager and service side, the windows) to the logic.
#pragma once

#include "app/role_routines.h"
#include "app/startup_services.h"

namespace orvanta {

StartupServices RealStartupServices();

// The entry routines of the roles this platform carries.
RoleRoutines RealRoleRoutines();

}  // namespace orvanta
