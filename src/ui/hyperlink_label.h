// Makes a static text control of a dialog look and act like a link: the
// label takes over the control's window procedure, draws the control's text
// itself in a chosen colour with an optional underline along the control's
// bottom row, shows a chosen cursor over the whole control, and hands every
// other message to a callback before the control's own procedure gets it.
// What a click does is the callback's business.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/gdi_owners.h"

namespace orvanta {

// Sees (control, message, wParam, lParam, userValue) for every message the
// label does not handle itself, before the control's own procedure. Its
// answer is ignored: it cannot consume a message.
using HyperlinkCallback = int (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int32_t userValue);

// One per taken-over control, reached through the control's GWLP_USERDATA
// slot; freed when the control is destroyed.
struct HyperlinkLabel {
  HFONT font = nullptr;           // the text's font: ownedFont, or the control's own (borrowed)
  GdiObject<HPEN> pen;            // solid, 1 pixel, colour: the underline
  WNDPROC previousProc = nullptr; // the control's procedure before the label took over
  HWND window = nullptr;          // the control
  HyperlinkCallback callback = nullptr;
  int32_t userValue = 0;          // handed to the callback unchanged
  COLORREF colour = 0;            // of the text and the underline
  HCURSOR cursor = nullptr;       // shown over the control (borrowed); none: left alone
  uint32_t underline = 0;         // nonzero: draw the underline
  GdiObject<HFONT> ownedFont;     // set when the label made the font from a description
};

// Takes over static control controlId of dialog. fontDescription null: the
// control's current font is used (and never deleted); a control without a
// font of its own cannot be taken over. False, with the control unchanged
// and nothing kept, when the control is missing or the font or pen cannot
// be had.
bool AttachHyperlinkLabel(HWND dialog, int controlId, HyperlinkCallback callback, COLORREF colour,
                          const LOGFONTA* fontDescription, bool underline, HCURSOR cursor, int32_t userValue);

// The window procedure of a taken-over control.
LRESULT CALLBACK HyperlinkLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace orvanta
