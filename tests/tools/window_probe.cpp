// window_probe: finds the program's windows by their caption, for scripts
// that look at them (scripts/screenshots.sh).
//
//   window_probe geometry CAPTION [SECONDS]  waits (10 s unless told) until a
//       visible top-level window with this caption exists and prints its
//       rectangle as an X geometry, WIDTHxHEIGHT+LEFT+TOP
//   window_probe syscommand CAPTION ID       posts the system-menu command ID
//   window_probe close CAPTION               posts WM_CLOSE
//
// Exit status 0, or 1 when no such window was found, 2 for a wrong call.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const std::string action = argc > 2 ? argv[1] : "";
  if (action != "geometry" && action != "close" && (action != "syscommand" || argc < 4)) {
    std::fprintf(stderr, "usage: window_probe geometry|syscommand|close CAPTION [ARGUMENT]\n");
    return 2;
  }
  // Only geometry waits for its window, up to limit milliseconds.
  const DWORD start = ::GetTickCount(), limit = action == "geometry" ? (argc > 3 ? std::atoi(argv[3]) : 10) * 1000 : 0;
  HWND window;
  while (!::IsWindowVisible(window = ::FindWindowA(nullptr, argv[2])) && ::GetTickCount() - start < limit) ::Sleep(100);
  if (!::IsWindowVisible(window)) return 1;
  if (action == "geometry") {
    ::Sleep(300);  // let it finish painting
    RECT bounds;
    ::GetWindowRect(window, &bounds);
    std::printf("%ldx%ld+%ld+%ld\n", bounds.right - bounds.left, bounds.bottom - bounds.top, bounds.left, bounds.top);
    return 0;
  }
  const UINT message = action == "close" ? WM_CLOSE : WM_SYSCOMMAND;
  return ::PostMessageA(window, message, message == WM_CLOSE ? 0 : std::atoi(argv[3]), 0) ? 0 : 1;
}
