// The link label on real static controls under Wine: the text and underline
// read back from the painted pixels after a new text, the cursor, the order
// in which the callback and the control see messages, and what is freed when
// the control goes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "integration/ui/ui_driver.h"
#include "ui/gdi_owners.h"
#include "ui/hyperlink_label.h"

namespace orvanta {
namespace {

constexpr COLORREF kBlue = RGB(0, 0, 250);
constexpr int kWidth = 200;
constexpr int kHeight = 40;  // much higher than one line of text
constexpr int kLabelId = 1012;

std::vector<std::string> events;  // what the callback and the parent saw, in order

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && wParam == MAKEWPARAM(kLabelId, STN_CLICKED)) events.push_back("clicked");
  return ::DefWindowProcA(window, message, wParam, lParam);
}

std::vector<int> Span(int from, int to) {  // from..to-1
  std::vector<int> xs;
  for (int x = from; x < to; ++x) xs.push_back(x);
  return xs;
}

class HyperlinkLabelTest : public testing::Test {
 protected:
  void SetUp() override {
    events.clear();
    WNDCLASSA type{};
    type.lpfnWndProc = ParentProc;
    type.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    type.lpszClassName = "OrvantaLabelTest";
    ::RegisterClassA(&type);
    parent_ = ::CreateWindowExA(WS_EX_TOPMOST, "OrvantaLabelTest", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth + 20,
                                kHeight + 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { ::DestroyWindow(parent_); }

  // A static control, given the test's font unless withFont is false.
  HWND AddLabel(const char* text, DWORD alignment, bool withFont = true) {
    HWND label = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | alignment, 10, 10, kWidth, kHeight,
                                   parent_, reinterpret_cast<HMENU>(kLabelId), nullptr, nullptr);
    if (withFont) ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    return label;
  }
  bool Attach(bool underline = true, HyperlinkCallback callback = nullptr, const LOGFONTA* font = nullptr,
              HCURSOR cursor = nullptr) {
    return AttachHyperlinkLabel(parent_, kLabelId, callback, kBlue, font, underline, cursor, 77);
  }

  int TextWidth(HWND label, const std::string& text) {
    WindowDc dc(label);
    SelectedObject selected(dc.Get(), font_.Get());
    SIZE size{};
    ::GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

  HWND parent_ = nullptr;
  GdiObject<HFONT> font_{::CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma")};
};

TEST_F(HyperlinkLabelTest, NewTextInTheColourUnderlinedAlongTheBottomRowAsTheAlignmentSays) {
  const char* const wide = "https://orvanta.org/a/very/long/address/that/is/wider/than/the/label";
  const struct { const char* text; DWORD alignment; bool underline; std::vector<int> (*underlined)(int w); } cases[] = {
      {"orvanta", SS_LEFT, true, [](int w) { return Span(0, w); }},
      {"orvanta", SS_CENTER, true, [](int w) { return Span(kWidth / 2 - w / 2, kWidth / 2 - w / 2 + w); }},
      {"orvanta", SS_RIGHT, true, [](int w) { return Span(kWidth - w, kWidth); }},
      {wide, SS_CENTER, true, [](int) { return Span(0, kWidth); }},
      {wide, SS_RIGHT, true, [](int) { return Span(1, kWidth); }},
      {"orvanta", SS_LEFT, false, [](int) { return Span(0, 0); }},
      {"", SS_LEFT, true, [](int) { return Span(0, 0); }},
      {"", SS_CENTER, true, [](int) { return Span(0, 0); }},
      {"", SS_RIGHT, true, [](int) { return Span(0, 0); }},
  };
  for (const auto& c : cases) {
    // Each text replaces a long one already painted: the control is erased first.
    HWND label = AddLabel("WWWWWWWWWWWWWWWWWWWWWWWWWWWW", c.alignment);
    ASSERT_TRUE(Attach(c.underline));
    ::UpdateWindow(label);
    ::SetWindowTextA(label, c.text);
    SCOPED_TRACE(std::string(c.text) + " style " + std::to_string(c.alignment));
    EXPECT_EQ(test::PixelsInRow(label, kHeight - 1, kBlue), c.underlined(TextWidth(label, c.text)));
    bool textInColour = false;
    for (int y = 0; y < kHeight / 2; ++y) textInColour |= !test::PixelsInRow(label, y, kBlue).empty();
    EXPECT_EQ(textInColour, *c.text != '\0');
    ::DestroyWindow(label);
  }
}

TEST_F(HyperlinkLabelTest, CursorAndMouseCoverTheWholeControlAndTheCallbackSeesThemBeforeIt) {
  HWND label = AddLabel("x", SS_LEFT);
  HCURSOR hand = ::LoadCursorA(nullptr, IDC_HAND);
  const HyperlinkCallback record = [](HWND, UINT message, WPARAM, LPARAM, int32_t value) {
    if (message == WM_LBUTTONDOWN || message == WM_PAINT || message == WM_SETCURSOR) {
      events.push_back(std::to_string(message) + " " + std::to_string(value));
    }
    return 0;
  };
  ASSERT_TRUE(Attach(true, record, nullptr, hand));
  ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
  ::SendMessageA(label, WM_SETCURSOR, reinterpret_cast<WPARAM>(label), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(::GetCursor(), hand);
  POINT farRight{kWidth - 2, kHeight - 2};  // far from the one-letter text
  ::ClientToScreen(label, &farRight);
  EXPECT_EQ(::SendMessageA(label, WM_NCHITTEST, 0, MAKELPARAM(farRight.x, farRight.y)), HTCLIENT);
  ::InvalidateRect(label, nullptr, TRUE);
  ::UpdateWindow(label);
  ::SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  ::SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(events, (std::vector<std::string>{"513 77", "clicked"})) << "never paint or cursor";
}

TEST_F(HyperlinkLabelTest, DestroyingTheControlFreesWhatTheLabelMadeAndKeepsTheControlsFont) {
  ASSERT_FALSE(Attach()) << "no control";
  HWND borrowing = AddLabel("a", SS_LEFT);
  ASSERT_TRUE(Attach());
  HPEN pen = reinterpret_cast<HyperlinkLabel*>(::GetWindowLongPtrA(borrowing, GWLP_USERDATA))->pen.Get();
  ::DestroyWindow(borrowing);
  EXPECT_EQ(::GetObjectType(font_.Get()), static_cast<DWORD>(OBJ_FONT)) << "the control's font stays";
  EXPECT_EQ(::GetObjectType(pen), 0u) << "the pen goes";

  HWND owning = AddLabel("b", SS_LEFT, false);
  ASSERT_FALSE(Attach()) << "no font of its own, none described";
  EXPECT_EQ(::GetWindowLongPtrA(owning, GWLP_USERDATA), 0);
  LOGFONTA description{};
  description.lfHeight = -15;
  ASSERT_TRUE(Attach(true, nullptr, &description));
  HFONT made = reinterpret_cast<HyperlinkLabel*>(::GetWindowLongPtrA(owning, GWLP_USERDATA))->font;
  EXPECT_EQ(::GetObjectType(made), static_cast<DWORD>(OBJ_FONT));
  ::DestroyWindow(owning);
  EXPECT_EQ(::GetObjectType(made), 0u) << "a font the label made goes with it";
}

}  // namespace
}  // namespace orvanta
