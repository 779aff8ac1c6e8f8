// Entry of orvanta: builds the application object with the platform's own
// services and the roles this build carries, runs start-up, and hands the
// role's outcome back as the exit status.
#include <cstdio>
#include <utility>

#include "app/background_roles.h"
#include "app/time_sync_app.h"
#ifdef _WIN32
#include "ui/options_dialog.h"
#endif

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
#else
  // The settings window; its "Synchronize now" runs this application's pass.
  routines.options = [](orvanta::TimeSyncApp& app) {
    orvanta::OptionsDialogServices services = orvanta::RealOptionsDialogServices();
    services.synchronize = [&app] { return app.Synchronize(); };
    return orvanta::RunOptionsDialog(app.Settings(), app.Title(), std::move(services));
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
