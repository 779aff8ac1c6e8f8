// The Wine session's one long-lived program, as a logged-on Windows session
// always has one: a wineserver that is not persistent ends the prefix's
// services.exe, and with it every running service, as soon as no ordinary
// program runs. It also brings up the desktop first, as a session has it:
// a desktop process started by a test would hold that test's output pipes
// while the keeper keeps it alive, and ctest would wait for them forever.
// scripts/wine-session.sh starts it and waits for its line; "wineserver -k"
// ends it.
#include <windows.h>

#include <cstdio>

int main() {
  if (GetDesktopWindow() == nullptr) return 1;
  std::puts("running");
  std::fflush(stdout);
  for (;;) Sleep(INFINITE);
}
