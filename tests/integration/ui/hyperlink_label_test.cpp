// The link label on real static controls under Wine: the underline read
// back from the painted pixels, the repaint on a new text, the cursor, the
// order in which the callback and the control see messages, and what is
// freed when the control goes.
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

int RecordingCallback(HWND, UINT message, WPARAM, LPARAM, int32_t userValue) {
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_PAINT) {
    events.push_back("callback " + std::to_string(message) + " " + std::to_string(userValue));
  }
  return 0;
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kLabelId && HIWORD(wParam) == STN_CLICKED) {
    events.push_back("clicked");
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

class HyperlinkLabelTest : public testing::Test {
 protected:
  void SetUp() override {
    events.clear();
    WNDCLASSA type{};
    type.lpfnWndProc = ParentProc;
    type.hInstance = ::GetModuleHandleA(nullptr);
    type.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    type.lpszClassName = "OrvantaLabelTest";
    ::RegisterClassA(&type);
    parent_ = ::CreateWindowExA(WS_EX_TOPMOST, "OrvantaLabelTest", "label test", WS_POPUP | WS_VISIBLE, 0, 0,
                                kWidth + 20, kHeight + 20, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { ::DestroyWindow(parent_); }

  // A static control with the dialog-like font given to it.
  HWND AddLabel(const char* text, DWORD alignment, bool withFont = true) {
    HWND label = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | alignment, 10, 10, kWidth, kHeight,
                                   parent_, reinterpret_cast<HMENU>(kLabelId), ::GetModuleHandleA(nullptr), nullptr);
    if (withFont) ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    return label;
  }

  int TextWidth(HWND label, const char* text) {
    WindowDc dc(label);
    SelectedObject selected(dc.Get(), font_.Get());
    SIZE size{};
    ::GetTextExtentPoint32A(dc.Get(), text, static_cast<int>(std::string(text).size()), &size);
    return size.cx;
  }

  static std::vector<int> Span(int from, int to) {  // from..to-1
    std::vector<int> xs;
    for (int x = from; x < to; ++x) xs.push_back(x);
    return xs;
  }

  HWND parent_ = nullptr;
  GdiObject<HFONT> font_{::CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma")};
};

TEST_F(HyperlinkLabelTest, UnderlineRunsAlongTheBottomRowAsTheAlignmentSays) {
  const char* const shortText = "orvanta";
  const char* const wideText = "https://orvanta.org/a/very/long/address/that/is/wider/than/the/label";
  const struct {
    const char* text;
    DWORD alignment;
    int from, to;  // the underlined pixels from..to-1; w is filled in below
  } cases[] = {
      {shortText, SS_LEFT, 0, -1},   {shortText, SS_CENTER, -1, -1}, {shortText, SS_RIGHT, -1, kWidth},
      {wideText, SS_CENTER, 0, kWidth}, {wideText, SS_RIGHT, 1, kWidth}, {"", SS_LEFT, 0, 0},
      {"", SS_CENTER, 0, 0},         {"", SS_RIGHT, 0, 0},
  };
  for (const auto& c : cases) {
    HWND label = AddLabel(c.text, c.alignment);
    ASSERT_TRUE(AttachHyperlinkLabel(parent_, kLabelId, nullptr, kBlue, nullptr, true, nullptr, 0));
    const int w = TextWidth(label, c.text);
    int from = c.from, to = c.to;
    if (c.alignment == SS_LEFT && to < 0) to = w;
    if (c.alignment == SS_CENTER && from < 0) from = kWidth / 2 - w / 2, to = from + w;
    if (c.alignment == SS_RIGHT && from < 0) from = kWidth - w;
    const test::Pixels pixels(label);
    ASSERT_EQ(pixels.Height(), kHeight);
    EXPECT_EQ(pixels.InRow(kHeight - 1, kBlue), Span(from, to)) << c.text << " style " << c.alignment;
    EXPECT_TRUE(pixels.InRow(kHeight - 2, kBlue).empty()) << "only the bottom row is underlined";
    ::DestroyWindow(label);
  }
}

TEST_F(HyperlinkLabelTest, WithoutUnderlineOnlyTheTextIsDrawnAndInTheColour) {
  HWND label = AddLabel("orvanta", SS_LEFT);
  ASSERT_TRUE(AttachHyperlinkLabel(parent_, kLabelId, nullptr, kBlue, nullptr, false, nullptr, 0));
  const test::Pixels pixels(label);
  EXPECT_TRUE(pixels.InRow(kHeight - 1, kBlue).empty());
  int blue = 0;
  for (int y = 0; y < kHeight; ++y) blue += static_cast<int>(pixels.InRow(y, kBlue).size());
  EXPECT_GT(blue, 10) << "the text is drawn in the label's colour";
}

TEST_F(HyperlinkLabelTest, NewTextIsPaintedOverAnErasedControl) {
  HWND label = AddLabel("WWWWWWWWWWWWWWWW", SS_LEFT);
  ASSERT_TRUE(AttachHyperlinkLabel(parent_, kLabelId, nullptr, kBlue, nullptr, true, nullptr, 0));
  const int oldWidth = TextWidth(label, "WWWWWWWWWWWWWWWW");
  ASSERT_GT(test::Pixels(label).InRow(kHeight - 1, kBlue).size(), 60u);

  ::SetWindowTextA(label, "i");
  const test::Pixels pixels(label);
  EXPECT_EQ(pixels.InRow(kHeight - 1, kBlue), Span(0, TextWidth(label, "i")));
  const COLORREF background = pixels.At(kWidth - 1, kHeight / 2);
  for (int y = 0; y < kHeight - 1; ++y) {
    for (int x = 10; x < oldWidth; ++x) ASSERT_EQ(pixels.At(x, y), background) << "old text left at " << x << "," << y;
  }
}

TEST_F(HyperlinkLabelTest, CursorShowsOverTheWholeControlAndMouseReachesIt) {
  HWND label = AddLabel("x", SS_LEFT);
  HCURSOR hand = ::LoadCursorA(nullptr, IDC_HAND);
  ASSERT_TRUE(AttachHyperlinkLabel(parent_, kLabelId, nullptr, kBlue, nullptr, true, hand, 0));
  ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(::SendMessageA(label, WM_SETCURSOR, reinterpret_cast<WPARAM>(label), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            0);
  EXPECT_EQ(::GetCursor(), hand);
  // Far right of the one-letter text: still the label's.
  POINT farRight{kWidth - 2, kHeight - 2};
  ::ClientToScreen(label, &farRight);
  EXPECT_EQ(::SendMessageA(label, WM_NCHITTEST, 0, MAKELPARAM(farRight.x, farRight.y)), HTCLIENT);
  EXPECT_NE(::GetWindowLongPtrA(label, GWL_STYLE) & SS_NOTIFY, 0);
}

TEST_F(HyperlinkLabelTest, CallbackSeesMessagesBeforeTheControlButNeverPaint) {
  HWND label = AddLabel("x", SS_LEFT);
  ASSERT_TRUE(AttachHyperlinkLabel(parent_, kLabelId, RecordingCallback, kBlue, nullptr, true, nullptr, 77));
  ::InvalidateRect(label, nullptr, TRUE);
  ::UpdateWindow(label);
  ::SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  ::SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(events, (std::vector<std::string>{"callback 513 77", "clicked"}));
}

TEST_F(HyperlinkLabelTest, DestroyingTheControlFreesWhatTheLabelMadeAndKeepsTheControlsFont) {
  HWND borrowing = AddLabel("a", SS_LEFT);
  ASSERT_TRUE(AttachHyperlinkLabel(parent_, kLabelId, nullptr, kBlue, nullptr, true, nullptr, 0));
  const auto* record = reinterpret_cast<HyperlinkLabel*>(::GetWindowLongPtrA(borrowing, GWLP_USERDATA));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->font, font_.Get());
  HPEN pen = record->pen.Get();
  ::DestroyWindow(borrowing);
  EXPECT_EQ(::GetObjectType(font_.Get()), static_cast<DWORD>(OBJ_FONT)) << "the control's font stays";
  EXPECT_EQ(::GetObjectType(pen), 0u) << "the pen goes";

  HWND owning = AddLabel("b", SS_LEFT, false);
  LOGFONTA description{};
  description.lfHeight = -15;
  lstrcpyA(description.lfFaceName, "Tahoma");
  ASSERT_TRUE(AttachHyperlinkLabel(parent_, kLabelId, nullptr, kBlue, &description, true, nullptr, 0));
  record = reinterpret_cast<HyperlinkLabel*>(::GetWindowLongPtrA(owning, GWLP_USERDATA));
  HFONT made = record->font;
  EXPECT_EQ(::GetObjectType(made), static_cast<DWORD>(OBJ_FONT));
  ::DestroyWindow(owning);
  EXPECT_EQ(::GetObjectType(made), 0u) << "a font the label made goes with it";
}

TEST_F(HyperlinkLabelTest, ControlThatCannotBeTakenOverStaysAsItWas) {
  EXPECT_FALSE(AttachHyperlinkLabel(parent_, kLabelId, nullptr, kBlue, nullptr, true, nullptr, 0)) << "no control";
  HWND plain = AddLabel("system font", SS_LEFT, false);
  const LONG_PTR procedure = ::GetWindowLongPtrA(plain, GWLP_WNDPROC);
  const LONG_PTR style = ::GetWindowLongPtrA(plain, GWL_STYLE);
  EXPECT_FALSE(AttachHyperlinkLabel(parent_, kLabelId, nullptr, kBlue, nullptr, true, nullptr, 0)) << "no font";
  EXPECT_EQ(::GetWindowLongPtrA(plain, GWLP_WNDPROC), procedure);
  EXPECT_EQ(::GetWindowLongPtrA(plain, GWL_STYLE), style);
  EXPECT_EQ(::GetWindowLongPtrA(plain, GWLP_USERDATA), 0);
}

}  // namespace
}  // namespace orvanta
