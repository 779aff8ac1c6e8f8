#include "ui/hyperlink_label.h"

#include <cstring>
#include <memory>
#include <new>

namespace orvanta {

namespace {

constexpr int kTextBufferSize = 4096;

HyperlinkLabel* LabelOf(HWND window) {
  return reinterpret_cast<HyperlinkLabel*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Paint(const HyperlinkLabel& label) {
  PaintScope paint(label.window);
  HDC dc = paint.Dc();
  RECT bounds;
  ::GetClientRect(label.window, &bounds);

  char text[kTextBufferSize];
  const int length = ::GetWindowTextA(label.window, text, kTextBufferSize - 1);
  text[length > 0 ? length : 0] = '\0';

  const LONG_PTR style = ::GetWindowLongPtrA(label.window, GWL_STYLE);
  UINT format = DT_WORDBREAK;
  if (style & SS_CENTER) format |= DT_CENTER;
  if (style & SS_RIGHT) format |= DT_RIGHT;

  ::SetTextColor(dc, label.colour);
  SelectedObject font(dc, label.font);
  ::SetBkMode(dc, TRANSPARENT);
  RECT textBounds = bounds;
  ::DrawTextA(dc, text, -1, &textBounds, format);

  if (label.underline == 0) return;
  SIZE extent{};
  ::GetTextExtentPointA(dc, text, static_cast<int>(std::strlen(text)), &extent);
  const LONG w = extent.cx;
  const LONG y = bounds.bottom - 1;
  SelectedObject pen(dc, label.pen.Get());
  if (format & DT_RIGHT) {
    const LONG left = bounds.right - w - 1;
    ::MoveToEx(dc, bounds.right - 1, y, nullptr);
    ::LineTo(dc, left > 0 ? left : 0, y);
  } else if (format & DT_CENTER) {
    LONG x0 = bounds.right / 2 - w / 2;
    if (x0 < 0) x0 = 0;
    const LONG x1 = x0 + w < bounds.right ? x0 + w : bounds.right;
    ::MoveToEx(dc, x0, y, nullptr);
    ::LineTo(dc, x1, y);
  } else {
    ::MoveToEx(dc, 0, y, nullptr);
    ::LineTo(dc, w, y);
  }
}

}  // namespace

bool AttachHyperlinkLabel(HWND dialog, int controlId, HyperlinkCallback callback, COLORREF colour,
                          const LOGFONTA* fontDescription, bool underline, HCURSOR cursor, int32_t userValue) {
  HWND control = ::GetDlgItem(dialog, controlId);
  if (control == nullptr) return false;
  std::unique_ptr<HyperlinkLabel> label(new (std::nothrow) HyperlinkLabel);
  if (!label) return false;

  if (fontDescription != nullptr) {
    label->ownedFont.Reset(::CreateFontIndirectA(fontDescription));
    label->font = label->ownedFont.Get();
  } else {
    label->font = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));
  }
  if (label->font == nullptr) return false;
  label->pen.Reset(::CreatePen(PS_SOLID, 1, colour));
  if (!label->pen) return false;  // the owned font goes with the record

  label->colour = colour;
  label->cursor = cursor;
  label->callback = callback;
  label->userValue = userValue;
  label->window = control;
  label->underline = underline ? 1 : 0;

  // The record first: the new procedure finds it from its first message on.
  ::SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(label.get()));
  const LONG_PTR previous =
      ::SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HyperlinkLabelProc));
  if (previous == 0) {
    ::SetWindowLongPtrA(control, GWLP_USERDATA, 0);
    return false;
  }
  label->previousProc = reinterpret_cast<WNDPROC>(previous);
  label.release();  // freed by HyperlinkLabelProc at WM_DESTROY

  // Without SS_NOTIFY the control lets the mouse through to the dialog.
  ::SetWindowLongPtrA(control, GWL_STYLE, ::GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
  return true;
}

LRESULT CALLBACK HyperlinkLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HyperlinkLabel* label = LabelOf(window);
  if (label == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);

  switch (message) {
    case WM_DESTROY: {
      std::unique_ptr<HyperlinkLabel> owned(label);
      const LRESULT result = ::CallWindowProcA(label->previousProc, window, message, wParam, lParam);
      ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(label->previousProc));
      ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      return result;  // the record, its pen and any font it made go here
    }
    case WM_SETTEXT: {
      const LRESULT result = ::CallWindowProcA(label->previousProc, window, message, wParam, lParam);
      ::RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
      return result;
    }
    case WM_PAINT:
      Paint(*label);
      return 0;
    case WM_SETCURSOR:
      if (label->cursor != nullptr) ::SetCursor(label->cursor);
      return 0;
    default: {
      if (label->callback != nullptr) label->callback(window, message, wParam, lParam, label->userValue);
      return ::CallWindowProcA(label->previousProc, window, message, wParam, lParam);
    }
  }
}

}  // namespace orvanta
