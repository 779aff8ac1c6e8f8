// The program's windows under Wine, driven with window messages as a user
// drives them and read back as they show: the options window and the About
// box from the program's own resources, with recording stand-ins for the
// message boxes and the long operations and a real settings file; and the
// link label on real static controls, down to the painted pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/settings_readers.h"
#include "support/temp_dir.h"
#include "ui/about_dialog.h"
#include "ui/hyperlink_label.h"
#include "ui/options_dialog.h"
#include "ui/resource.h"

namespace orvanta {
namespace {

using namespace options_text;
using Entries = std::vector<std::string>;

std::string Text(HWND dialog, int id) {
  char text[300];
  return std::string(text, ::GetDlgItemTextA(dialog, id, text, sizeof text));
}

Entries ListEntries(HWND list) {
  Entries entries;
  for (int i = 0; i < ::SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
    char text[300] = {};
    ::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

// A message box as it appeared: text, type, and the last-adjustment labels then.
std::string Box(const std::string& text, UINT type, const std::string& labels = "- UNKNOWN") {
  return text + " | " + std::to_string(type) + " | " + labels;
}

class OptionsDialogTest : public testing::Test {
 protected:
  // A new window over a settings file with three servers.
  void Open() {
    test::WriteBytes(settings_.Path(), "[OPTIONS]\nperiod=30\n[SERVERS]\nserver_1=a\nserver_2=b\nserver_3=c\n");
    dialog_ = std::make_unique<OptionsDialog>(settings_, "Orvanta", services_);
    ASSERT_TRUE(dialog_->Create(nullptr));
  }
  HWND Item(int id) const { return dialog_->Item(id); }
  HWND List() const { return Item(IDC_SERVER_LIST); }
  void Press(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }

  test::TempDir dir_;
  SettingsFile settings_{dir_.File("orvanta.ini")};
  Entries shown_;
  bool result_ = true;
  OptionsDialogServices services_{
      [this](HWND owner, const char* text, const char*, UINT type) {
        shown_.push_back(Box(text, type, Text(owner, IDC_LAST_SYNC) + " " + Text(owner, IDC_LAST_OFFSET)));
        return IDOK;
      },
      [this] { return result_ && WriteSyncResult(settings_, SystemTime{2010, 1, 0, 2, 3, 4, 5, 6}, 1.5); },
      [this] { return result_; }, [this] { return result_; }, ShowAboutBox};
  std::unique_ptr<OptionsDialog> dialog_;
};

// "+" with a name typed, "X" on the selected entry; then Synchronize now, as
// it fails and as it succeeds.
TEST_F(OptionsDialogTest, TheListEditsAndTheButtonsTellTheOutcomeWithTheNewResultShownFirst) {
  Open();
  const WPARAM plus = MAKEWPARAM(IDC_ADD_SERVER, BN_CLICKED), x = MAKEWPARAM(IDC_REMOVE_SERVER, BN_CLICKED);
  const struct { WPARAM command; const char* typed; int selected; Entries list; int selection; } steps[] = {
      {plus, "  ", -1, {"a", "b", "c"}, -1},           // a blank name: nothing
      {plus, "n", -1, {"n", "a", "b", "c"}, -1},       // on top
      {plus, "C", -1, {"n", "a", "b", "c"}, 3},        // refused in any case, the entry selected
      {x, "", 3, {"n", "a", "b"}, 2},                  // the new last entry
      {x, "", 1, {"n", "b"}, 1},                       // the one that moved up
  };
  for (const auto& step : steps) {
    ::SetWindowTextA(Item(IDC_PREFERRED), step.typed);
    ::SendMessageA(List(), LB_SETCURSEL, step.selected, 0);
    ::SendMessageA(dialog_->Window(), WM_COMMAND, step.command, reinterpret_cast<LPARAM>(Item(LOWORD(step.command))));
    EXPECT_EQ(ListEntries(List()), step.list) << "step " << &step - steps;
    EXPECT_EQ(::SendMessageA(List(), LB_GETCURSEL, 0, 0), step.selection) << "step " << &step - steps;
  }
  for (const bool result : {false, true}) {
    result_ = result;
    Press(IDC_SYNCHRONIZE_NOW);
  }
  EXPECT_EQ(shown_, (Entries{Box(kAlreadyListed, MB_ICONERROR), Box(kNotSynchronized, MB_ICONEXCLAMATION),
                             Box(kSynchronized, MB_ICONINFORMATION, "2010/01/02 03:04 1.500 sec.")}));
}

TEST_F(OptionsDialogTest, SaveStoresThePreferredServerTheListAndThePeriodInOneWriteThenCloses) {
  const struct { const char *preferred, *period; Entries list, stored; const char* storedPeriod; } cases[] = {
      // The first entry is the preferred server but for the letter case: stored once, as typed;
      // an NTS entry as typed too.
      {"A", "0120", {"a", "nts://b:4461", "c"}, {"A", "nts://b:4461", "c"}, "0120"},
      // A name that cannot be stored: nothing is written, the window says so and stays.
      {"", "45", {"a", "bad\nname"}, {"a", "b", "c"}, "30"},
  };
  for (const auto& c : cases) {
    Open();
    ::SendMessageA(List(), LB_RESETCONTENT, 0, 0);
    for (const auto& entry : c.list) ::SendMessageA(List(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    ::SetWindowTextA(Item(IDC_PREFERRED), c.preferred);
    ::SetWindowTextA(Item(IDC_PERIOD), c.period);
    Press(IDC_SAVE);
    EXPECT_EQ(dialog_->Ended(), shown_.empty()) << c.period;  // the refused one comes last
    Entries stored;
    LoadServerList(settings_, stored);
    EXPECT_EQ(stored, c.stored) << c.period;
    EXPECT_EQ(settings_.GetString("OPTIONS", "period", 16), c.storedPeriod) << c.period;
  }
  EXPECT_EQ(shown_, Entries{Box(kNotSaved, MB_ICONERROR)}) << "the last was refused";
}

// The version from this executable's version resource (the project's, in
// CMakeLists.txt), the date from the build.
TEST(AboutBox, ShowsTheVersionOfTheExecutableAndTheBuildDate) {
  AboutDialog about;
  ASSERT_TRUE(about.Create(nullptr));
  EXPECT_EQ(Text(about.Window(), IDC_VERSION) + " " + Text(about.Window(), IDC_BUILD_DATE), "1.0.0.8 Mar., 15 2009");
}

constexpr COLORREF kBlue = RGB(0, 0, 250);
constexpr int kWidth = 200, kHeight = 40;  // much higher than one line of text

class HyperlinkLabelTest : public testing::Test {
 protected:
  ~HyperlinkLabelTest() override { ::DestroyWindow(parent_); }

  HWND AddLabel(const char* text, DWORD alignment, bool underline) {
    HWND label = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | alignment, 10, 10, kWidth, kHeight,
                                   parent_, reinterpret_cast<HMENU>(1), nullptr, nullptr);
    ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    return AttachHyperlinkLabel(parent_, 1, nullptr, kBlue, nullptr, underline, nullptr, 77) ? label : nullptr;
  }

  HWND parent_ = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth + 20,
                                   kHeight + 20, nullptr, nullptr, nullptr, nullptr);
  GdiObject<HFONT> font_{::CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma")};
};

TEST_F(HyperlinkLabelTest, ANewTextIsUnderlinedAlongTheBottomRowAsTheAlignmentSays) {
  WindowDc dc(parent_);  // the labels go at (10, 10)
  SelectedObject font(dc.Get(), font_.Get());
  SIZE text{};
  ::GetTextExtentPoint32A(dc.Get(), "orvanta", 7, &text);
  // The underline's first x and the x past its end, by the width of the text.
  const struct { DWORD alignment; bool underline; LONG from, to; } cases[] = {
      {SS_LEFT, true, 0, text.cx}, {SS_CENTER, true, kWidth / 2 - text.cx / 2, kWidth / 2 - text.cx / 2 + text.cx},
      {SS_RIGHT, true, kWidth - text.cx, kWidth}, {SS_CENTER, false, 0, 0},
  };
  for (const auto& c : cases) {
    // The new text replaces a long one already painted: the control is erased first.
    HWND label = AddLabel("WWWWWWWWWWWWWWWWWWWWWWWWWWWW", c.alignment, c.underline);
    ::UpdateWindow(label);
    ::SetWindowTextA(label, "orvanta");
    ::UpdateWindow(label);
    std::vector<int> underline, expected;  // the x of each pixel of the control's bottom row in the colour
    for (int x = 0; x < kWidth; ++x) {
      if (::GetPixel(dc.Get(), 10 + x, 10 + kHeight - 1) == kBlue) underline.push_back(x);
      if (x >= c.from && x < c.to) expected.push_back(x);
    }
    EXPECT_EQ(underline, expected) << "style " << c.alignment;
    ::DestroyWindow(label);
  }
}

}  // namespace
}  // namespace orvanta
