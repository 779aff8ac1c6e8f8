#include "integration/ui/ui_driver.h"

#include <utility>

#include "ui/gdi_owners.h"

namespace orvanta::test {

std::string WindowText(HWND window) {
  char text[4096];
  const int length = ::GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

void Click(HWND button) { ::SendMessageA(button, BM_CLICK, 0, 0); }

void TypeInto(HWND edit, const std::string& text) {
  ::SetFocus(edit);
  ::SendMessageA(edit, EM_SETSEL, 0, -1);
  if (text.empty()) ::SendMessageA(edit, WM_CHAR, VK_BACK, 1);
  for (const char c : text) ::SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

std::vector<std::string> ListEntries(HWND list) {
  std::vector<std::string> entries;
  const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::string text(static_cast<size_t>(::SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]))));
    entries.push_back(text);
  }
  return entries;
}

int ListSelection(HWND list) { return static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0)); }

namespace {

LPARAM EntryPoint(HWND list, int index) {
  ::SendMessageA(list, LB_SETTOPINDEX, index, 0);
  RECT item{};
  ::SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
  return MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
}

}  // namespace

void ClickEntry(HWND list, int index) {
  const LPARAM at = EntryPoint(list, index);
  ::SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageA(list, WM_LBUTTONUP, 0, at);
}

void DoubleClickEntry(HWND list, int index) {
  ClickEntry(list, index);
  const LPARAM at = EntryPoint(list, index);
  ::SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::SendMessageA(list, WM_LBUTTONUP, 0, at);
}

void PostKey(HWND window, WPARAM key) {
  const UINT scan = ::MapVirtualKeyA(static_cast<UINT>(key), 0);
  ::PostMessageA(window, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
  ::PostMessageA(window, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (3L << 30));
}

int RunQueuedMessages(ModalDialog& dialog) {
  // WM_QUIT comes only after every other queued message.
  ::PostQuitMessage(0);
  const int result = dialog.RunModalLoop();
  MSG quit;
  while (::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  return result;
}

namespace {
TickWatcher* innermost = nullptr;  // the chain of live watchers: timer procedures take no context
}  // namespace

TickWatcher::TickWatcher(std::function<void()> onTick)
    : onTick_(std::move(onTick)),
      outer_(std::exchange(innermost, this)),
      timer_(::SetTimer(nullptr, 0, 20, &OnTimer)) {}

TickWatcher::~TickWatcher() {
  ::KillTimer(nullptr, timer_);
  innermost = outer_;
}

void CALLBACK TickWatcher::OnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  for (TickWatcher* watcher = innermost; watcher != nullptr; watcher = watcher->outer_) {
    if (watcher->timer_ == timer) {
      watcher->onTick_();
      return;
    }
  }
}

int RunLoopUntil(ModalDialog& dialog, const std::function<bool()>& done, uint32_t limitMs) {
  const DWORD deadline = ::GetTickCount() + limitMs;
  bool quitPosted = false;
  TickWatcher watcher([&] {
    if (!quitPosted && (done() || static_cast<LONG>(::GetTickCount() - deadline) > 0)) {
      ::PostQuitMessage(0);
      quitPosted = true;
    }
  });
  const int result = dialog.RunModalLoop();
  MSG quit;
  while (::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  return result;
}

namespace {

// A memory device context, deleted with its owner.
class MemoryDc {
 public:
  explicit MemoryDc(HDC like) : dc_(::CreateCompatibleDC(like)) {}
  ~MemoryDc() {
    if (dc_ != nullptr) ::DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

Pixels::Pixels(HWND window) {
  ::UpdateWindow(window);
  RECT client;
  ::GetClientRect(window, &client);
  width_ = client.right;
  height_ = client.bottom;
  bgra_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
  WindowDc screen(window);
  MemoryDc memory(screen.Get());
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject<HBITMAP> bitmap(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (memory.Get() == nullptr || !bitmap) return;
  {
    SelectedObject selected(memory.Get(), bitmap.Get());
    ::BitBlt(memory.Get(), 0, 0, width_, height_, screen.Get(), 0, 0, SRCCOPY);
  }
  ::GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  bgra_.assign(pixels, pixels + bgra_.size());
}

COLORREF Pixels::At(int x, int y) const {
  const uint32_t p = bgra_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

std::vector<int> Pixels::InRow(int y, COLORREF colour) const {
  std::vector<int> xs;
  for (int x = 0; x < width_; ++x) {
    if (At(x, y) == colour) xs.push_back(x);
  }
  return xs;
}

}  // namespace orvanta::test
