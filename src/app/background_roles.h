// The entry routines of the background roles, wired to the real platform:
// "debug", the service, "installme" and "uninstallme".
#pragma once

#include "app/role_routines.h"

namespace orvanta {

// Adds the background routines this platform carries to the routines.
void AddBackgroundRoles(RoleRoutines& routines);

}  // namespace orvanta
