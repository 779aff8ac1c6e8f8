// Drives real windows as a user would, with window messages, and reads back
// what they show, text and pixels.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/gdi_owners.h"
#include "ui/modal_dialog.h"

namespace orvanta::test {

inline std::string WindowText(HWND window) {
  char text[4096];
  const int length = ::GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

inline std::vector<std::string> ListEntries(HWND list) {
  std::vector<std::string> entries;
  for (int i = 0; i < ::SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
    char text[300] = {};
    ::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

// Focuses the field, selects all and types text over it, one WM_CHAR at a time.
inline void TypeInto(HWND edit, const std::string& text) {
  ::SetFocus(edit);
  ::SendMessageA(edit, EM_SETSEL, 0, -1);
  ::SendMessageA(edit, WM_CHAR, VK_BACK, 1);
  for (const char c : text) ::SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

// A double click of the left button on entry index, as the list box sees it.
inline void DoubleClickEntry(HWND list, int index) {
  RECT item{};
  ::SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  for (const UINT press : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
    ::SendMessageA(list, press, MK_LBUTTON, at);
    ::SendMessageA(list, WM_LBUTTONUP, 0, at);
  }
}

// Posts a key press (down and up) to a window, to be read by a modal loop.
inline void PostKey(HWND window, WPARAM key) {
  const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16;
  ::PostMessageA(window, WM_KEYDOWN, key, 1 | scan);
  ::PostMessageA(window, WM_KEYUP, key, 1 | scan | (3L << 30));
}

inline std::function<void()> tick;  // timer procedures take no context
inline void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) { tick(); }

// Runs run() with onTick() called every few milliseconds by whatever message
// loop runs on this thread meanwhile; returns run()'s result.
inline int Ticking(std::function<void()> onTick, const std::function<int()>& run) {
  tick = std::move(onTick);
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &OnTick);
  const int result = run();
  ::KillTimer(nullptr, timer);
  return result;
}

// Runs dialog's own modal loop until everything queued so far is handled
// (WM_QUIT comes after every other queued message). Returns the loop's
// result: the dialog's end result, or ModalDialog::kLoopQuit when it is
// still open.
inline int RunQueued(ModalDialog& dialog) {
  ::PostQuitMessage(0);
  const int result = dialog.RunModalLoop();
  MSG quit;  // ours, or the one the loop posted again
  ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  return result;
}

// The x of every pixel of row y of window's client area in colour, as painted.
inline std::vector<int> PixelsInRow(HWND window, int y, COLORREF colour) {
  ::UpdateWindow(window);
  RECT client;
  ::GetClientRect(window, &client);
  WindowDc dc(window);
  std::vector<int> xs;
  for (int x = 0; x < client.right; ++x) {
    if (::GetPixel(dc.Get(), x, y) == colour) xs.push_back(x);
  }
  return xs;
}

}  // namespace orvanta::test
