// Entry of orvanta: builds the application object with the platform's own
// services and the roles this build carries, runs start-up, and hands the
// role's outcome back as the exit status.
#include "app/real_platform.h"
#include "app/time_sync_app.h"

int main(int argc, char** argv) {
  orvanta::TimeSyncApp app(orvanta::RealStartupServices(), orvanta::RealRoleRoutines());
  app.InitInstance(argc, argv);
  return app.ExitCode();
}
