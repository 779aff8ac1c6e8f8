// Drives real windows as a user would, with window messages: clicks, typing,
// keys through a dialog's own modal loop, list double-clicks; and reads back
// what they show, text and pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/modal_dialog.h"

namespace orvanta::test {

std::string WindowText(HWND window);

// A press and release of the left button on a button (BM_CLICK).
void Click(HWND button);
// Focuses the field, selects all and types text over it (an empty text
// deletes the selection), one WM_CHAR at a time.
void TypeInto(HWND edit, const std::string& text);

std::vector<std::string> ListEntries(HWND list);
int ListSelection(HWND list);
// The left button pressed and released on entry index; twice for a double click.
void ClickEntry(HWND list, int index);
void DoubleClickEntry(HWND list, int index);

// Posts a key press (down and up) to a window, to be read by a modal loop.
void PostKey(HWND window, WPARAM key);

// Lets dialog's own modal loop handle everything queued so far, and
// whatever that leads to; answers the loop's result: the dialog's end
// result, or ModalDialog::kLoopQuit when it is still open.
int RunQueuedMessages(ModalDialog& dialog);

// While it lives, onTick() is called every few milliseconds by whatever
// message loop runs on this thread (a dialog's, a nested one's).
class TickWatcher {
 public:
  explicit TickWatcher(std::function<void()> onTick);
  ~TickWatcher();
  TickWatcher(const TickWatcher&) = delete;
  TickWatcher& operator=(const TickWatcher&) = delete;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR timer, DWORD);
  std::function<void()> onTick_;
  TickWatcher* outer_;
  UINT_PTR timer_;
};

// Runs dialog's modal loop, asking done() every few milliseconds, until it
// answers true (the loop is then left) or the dialog ends, or limitMs passes
// (the caller sees done() still false). Answers the loop's result.
int RunLoopUntil(ModalDialog& dialog, const std::function<bool()>& done, uint32_t limitMs = 10000);

// The client area of a window as it is on the screen, row by row.
class Pixels {
 public:
  explicit Pixels(HWND window);
  int Width() const { return width_; }
  int Height() const { return height_; }
  COLORREF At(int x, int y) const;
  // The x of every pixel of row y in colour.
  std::vector<int> InRow(int y, COLORREF colour) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> bgra_;
};

}  // namespace orvanta::test
