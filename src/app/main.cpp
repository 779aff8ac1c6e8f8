// Entry of orvanta: builds the application object with the platform's own
// services and the roles this build carries, runs start-up, and hands the
// role's outcome back as the exit status.
#include <cstdio>

#include "app/background_roles.h"
#include "app/time_sync_app.h"

namespace {

orvanta::RoleRoutines BuildRoleRoutines() {
  orvanta::RoleRoutines routines;
  orvanta::AddBackgroundRoles(routines);
#ifndef _WIN32
  // There is no settings window here: say where the settings live instead.
  routines.options = [](orvanta::TimeSyncApp& app) {
    std::fprintf(stderr, "orvanta: no options window on this platform; edit the settings file %s\n",
                 app.Settings().Path().c_str());
    return 2;
  };
#endif
  return routines;
}

}  // namespace

int main(int argc, char** argv) {
  orvanta::TimeSyncApp app(orvanta::RealStartupServices(), BuildRoleRoutines());
  app.InitInstance(argc, argv);
  return app.ExitCode();
}
