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
#include <cstring>

namespace {

HWND FindVisible(const char* caption) {
  HWND window = ::FindWindowA(nullptr, caption);
  return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_probe geometry|syscommand|close CAPTION [ARGUMENT]\n");
    return 2;
  }
  const char* action = argv[1];
  const char* caption = argv[2];
  if (std::strcmp(action, "geometry") == 0) {
    const DWORD limitMs = static_cast<DWORD>((argc > 3 ? std::atoi(argv[3]) : 10) * 1000);
    const DWORD start = ::GetTickCount();
    HWND window = nullptr;
    while ((window = FindVisible(caption)) == nullptr && ::GetTickCount() - start < limitMs) ::Sleep(100);
    if (window == nullptr) return 1;
    ::Sleep(300);  // let it finish painting
    RECT bounds;
    ::GetWindowRect(window, &bounds);
    std::printf("%ldx%ld+%ld+%ld\n", bounds.right - bounds.left, bounds.bottom - bounds.top, bounds.left, bounds.top);
    return 0;
  }
  HWND window = FindVisible(caption);
  if (window == nullptr) return 1;
  if (std::strcmp(action, "syscommand") == 0 && argc > 3) {
    return ::PostMessageA(window, WM_SYSCOMMAND, static_cast<WPARAM>(std::atoi(argv[3])), 0) ? 0 : 1;
  }
  if (std::strcmp(action, "close") == 0) return ::PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
  return 2;
}
