// The options window and the About box it opens, from the program's own
// resources, driven under Wine as a user drives them: clicks, typing, list
// double clicks, keys through the windows' own modal loops. Message boxes and
// the long operations go through recording stand-ins; the settings file is
// real.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "integration/ui/ui_driver.h"
#include "settings/factory_servers.h"
#include "settings/settings_readers.h"
#include "support/temp_dir.h"
#include "ui/about_dialog.h"
#include "ui/options_dialog.h"
#include "ui/resource.h"

namespace orvanta {
namespace {

using namespace options_text;
using test::ListEntries;
using test::WindowText;
using Entries = std::vector<std::string>;

const std::string kFiveServers =
    "[OPTIONS]\r\nperiod=30\r\n[SERVERS]\r\nserver_1=a.example\r\nserver_2=b.example\r\nserver_3=c.example\r\n"
    "server_4=d.example\r\nserver_5=e.example\r\n";
const Entries kFive{"a.example", "b.example", "c.example", "d.example", "e.example"};

// A message box as it appeared: text, type, and the last-adjustment labels then.
std::string Box(const std::string& text, UINT type, const std::string& lastSync = "-",
                const std::string& lastOffset = "UNKNOWN") {
  return text + " | " + std::to_string(type) + " | " + lastSync + " | " + lastOffset;
}

class OptionsDialogTest : public testing::Test {
 protected:
  OptionsDialogServices Services() {
    OptionsDialogServices services;
    services.messageBox = [this](HWND owner, const char* text, const char* caption, UINT type) {
      EXPECT_STREQ(caption, "Orvanta");
      shown_.push_back(Box(text, type, WindowText(::GetDlgItem(owner, IDC_LAST_SYNC)),
                           WindowText(::GetDlgItem(owner, IDC_LAST_OFFSET))));
      return IDOK;
    };
    services.synchronize = [this] {
      LoadServerList(settings_, serversAtSync_);
      return syncResult_ && WriteSyncResult(settings_, SystemTime{2010, 1, 0, 2, 3, 4, 5, 6}, 1.5);
    };
    services.installService = [this] { return serviceResult_; };
    services.removeService = [this] { return serviceResult_; };
    return services;
  }

  void Open(const std::string& file) {
    test::WriteBytes(path_, file);
    dialog_ = std::make_unique<OptionsDialog>(settings_, "Orvanta", Services());
    ASSERT_TRUE(dialog_->Create(nullptr));
    list_ = Item(IDC_SERVER_LIST);
  }
  HWND Item(int id) const { return dialog_->Item(id); }
  std::string Text(int id) const { return WindowText(Item(id)); }
  void Press(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
  int Selection() const { return static_cast<int>(::SendMessageA(list_, LB_GETCURSEL, 0, 0)); }

  test::TempDir dir_;
  std::string path_ = dir_.File("orvanta.ini");
  SettingsFile settings_{path_};
  std::unique_ptr<OptionsDialog> dialog_;
  HWND list_ = nullptr;
  Entries shown_, serversAtSync_;
  bool syncResult_ = true, serviceResult_ = true;
};

TEST_F(OptionsDialogTest, ButtonsTellTheOutcomeAndSynchronizeNowShowsTheNewResultFirst) {
  Open(kFiveServers);
  test::TypeInto(Item(IDC_PREFERRED), "unsaved.example");
  Press(IDC_ADD_SERVER);
  Press(IDC_HELP_BUTTON);
  for (const bool result : {false, true}) {
    syncResult_ = serviceResult_ = result;
    for (const int button : {IDC_INSTALL_SERVICE, IDC_REMOVE_SERVICE, IDC_SYNCHRONIZE_NOW}) Press(button);
  }
  EXPECT_EQ(serversAtSync_, kFive) << "the stored list, not the edited one";
  EXPECT_EQ(shown_, (Entries{Box(kHelp, MB_ICONINFORMATION), Box(kNotInstalled, MB_ICONERROR),
                             Box(kNotUninstalled, MB_ICONERROR), Box(kNotSynchronized, MB_ICONEXCLAMATION),
                             Box(kInstalled, MB_ICONINFORMATION), Box(kUninstalled, MB_ICONINFORMATION),
                             Box(kSynchronized, MB_ICONINFORMATION, "2010/01/02 03:04", "1.500 sec.")}));
  EXPECT_EQ(test::RunQueued(*dialog_), ModalDialog::kLoopQuit);
}

TEST_F(OptionsDialogTest, PlusPutsThePreferredServerOnTopOnce) {
  Open("");
  const struct { const char* typed; int selection; } steps[] = {{"b.example", -1}, {"POOL.ntp.ORG", 1}, {"   ", 1}};
  for (const auto& step : steps) {
    test::TypeInto(Item(IDC_PREFERRED), step.typed);
    Press(IDC_ADD_SERVER);
    EXPECT_EQ(ListEntries(list_), (Entries{"b.example", kDefaultServer})) << step.typed;
    EXPECT_EQ(Selection(), step.selection) << step.typed;
  }
  EXPECT_EQ(shown_, Entries{Box(kAlreadyListed, MB_ICONERROR)});
}

TEST_F(OptionsDialogTest, XRemovesTheSelectedEntryAndDoubleClickMovesItOnTopAsThePreferredServer) {
  Open(kFiveServers);
  const Entries dabce{"d.example", "a.example", "b.example", "c.example", "e.example"};
  const struct { bool x; int entry; Entries left; int selection; const char* preferred; } steps[] = {
      {true, -1, kFive, -1, "a.example"},  // nothing selected
      {false, 3, dabce, -1, "d.example"},
      {true, 4, {"d.example", "a.example", "b.example", "c.example"}, 3, "d.example"},  // the new last entry
      {true, 1, {"d.example", "b.example", "c.example"}, 1, "d.example"},               // the one that moved up
      {true, 0, {"b.example", "c.example"}, 0, "d.example"},
      {true, 1, {"b.example"}, 0, "d.example"},
      {true, 0, {}, -1, "d.example"},
      {false, 0, {}, -1, "d.example"},  // a double click with nothing to select
  };
  for (const auto& step : steps) {
    if (step.x) ::SendMessageA(list_, LB_SETCURSEL, step.entry, 0);
    step.x ? Press(IDC_REMOVE_SERVER) : test::DoubleClickEntry(list_, step.entry);
    EXPECT_EQ(ListEntries(list_), step.left) << step.x << step.entry;
    EXPECT_EQ(Selection(), step.selection) << step.x << step.entry;
    EXPECT_EQ(Text(IDC_PREFERRED), step.preferred) << step.x << step.entry;
  }
}

TEST_F(OptionsDialogTest, SaveStoresThePreferredServerTheListAndThePeriodInOneWriteThenCloses) {
  const Entries abc{"a.example", "b.example", "c.example"};
  const struct { const char *preferred, *typedPeriod; Entries list, stored; const char* period; } cases[] = {
      // The first entry is the preferred server but for the letter case: stored once, as typed.
      {"A.EXAMPLE", "0120", abc, {"A.EXAMPLE", "b.example", "c.example"}, "0120"},
      // Typed, not added: ahead of the list, and again further down; a period of 0 is not stored.
      {"b.EXAMPLE", "0", abc, {"b.EXAMPLE", "a.example", "b.example", "c.example"}, "30"},
      // Blank names are left out; the period field takes four digits and nothing else.
      {"", "9x87654", {"a.example", "", "b.example", "  "}, {"a.example", "b.example"}, "9876"},
      // Nothing at all: the list ends at once, and the default server is read back.
      {"", "", {}, {kDefaultServer}, "30"},
      // A name that cannot be stored: nothing is written, the window says so and stays.
      {"", "45", {"a.example", "bad\nname"}, kFive, "30"},
  };
  for (const auto& c : cases) {
    Open(kFiveServers);
    ::SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    for (const auto& entry : c.list) ::SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    test::TypeInto(Item(IDC_PREFERRED), c.preferred);
    test::TypeInto(Item(IDC_PERIOD), c.typedPeriod);
    Press(IDC_SAVE);
    const bool refused = !shown_.empty();
    EXPECT_EQ(test::RunQueued(*dialog_), refused ? ModalDialog::kLoopQuit : IDCANCEL) << c.typedPeriod;
    Entries stored;
    LoadServerList(settings_, stored);
    EXPECT_EQ(stored, c.stored) << c.typedPeriod;
    EXPECT_EQ(settings_.GetString("OPTIONS", "period", 16), c.period) << c.typedPeriod;
  }
  EXPECT_EQ(shown_, Entries{Box(kNotSaved, MB_ICONERROR)}) << "only the last was refused";
}

TEST_F(OptionsDialogTest, FactoryListStaysUnsavedEnterInAFieldDoesNothingEscapeAndCloseBoxCancel) {
  for (const bool closeBox : {false, true}) {
    Open(kFiveServers);
    EXPECT_EQ(Text(IDC_PERIOD), "30");
    Press(IDC_FACTORY_LIST);
    EXPECT_EQ(ListEntries(list_), Entries(kFactoryServers, kFactoryServers + kFactoryServerCount));
    EXPECT_EQ(Text(IDC_PREFERRED), kFactoryServers[0]);
    for (const int field : {IDC_PREFERRED, IDC_PERIOD, IDC_SERVER_LIST}) {
      ::SetFocus(Item(field));
      test::PostKey(Item(field), VK_RETURN);
      EXPECT_EQ(test::RunQueued(*dialog_), ModalDialog::kLoopQuit) << field;
    }
    if (closeBox) ::SendMessageA(dialog_->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    if (!closeBox) test::PostKey(Item(IDC_PERIOD), VK_ESCAPE);
    EXPECT_EQ(test::RunQueued(*dialog_), IDCANCEL);
    EXPECT_EQ(test::ReadBytes(path_), kFiveServers);
  }
  EXPECT_TRUE(shown_.empty());
}

TEST_F(OptionsDialogTest, OptionsRoleShowsTheAboutBoxFromTheSystemMenuOverTheDisabledWindow) {
  OptionsDialogServices services = Services();
  services.showAboutBox = ShowAboutBox;
  int step = 0, ticks = 0;
  std::string seen;  // in the About box, and whether the options window was enabled then
  const auto act = [&] {
    HWND options = ::FindWindowA(nullptr, "Orvanta"), about = ::FindWindowA(nullptr, "About Orvanta");
    if (step == 0 && options != nullptr) {
      HMENU menu = ::GetSystemMenu(options, FALSE);
      ::PostMessageA(options, WM_SYSCOMMAND, ::GetMenuItemID(menu, ::GetMenuItemCount(menu) - 1), 0);
    } else if (step == 1 && about != nullptr) {
      seen = WindowText(::GetDlgItem(about, IDC_VERSION)) + " " + WindowText(::GetDlgItem(about, IDC_BUILD_DATE)) +
             (::IsWindowEnabled(options) ? " enabled" : " disabled");
      test::PostKey(about, VK_ESCAPE);
    } else if (step == 2 && about == nullptr && ::IsWindowEnabled(options)) {
      test::PostKey(options, VK_ESCAPE);
    } else {
      if (++ticks == 500) ::PostQuitMessage(0);  // stuck: ends every loop, and the test fails
      return;
    }
    ++step;
  };
  EXPECT_EQ(test::Ticking(act, [&] { return RunOptionsDialog(settings_, "Orvanta", services); }), 0);
  MSG quit;  // when stuck
  ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  EXPECT_EQ(step, 3);
  EXPECT_LT(ticks, 500) << "the options window never closed";
  EXPECT_EQ(seen, "1.0.0.8 Mar., 15 2009 disabled") << "the version from the executable's resource";
}

TEST(AboutDialogTest, OnlyALeftButtonPressOnTheLinkOpensTheAddress) {
  Entries opened;
  AboutDialog about(AboutDialogServices{[&](const char* address) { opened.push_back(address); }});
  ASSERT_TRUE(about.Create(nullptr));
  HWND link = about.Item(IDC_HOME_PAGE);
  for (const UINT other : {WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}) {
    ::SendMessageA(link, other, 0, MAKELPARAM(3, 3));
  }
  EXPECT_TRUE(opened.empty());
  ::SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  EXPECT_EQ(opened, Entries{ORVANTA_HOME_PAGE});
}

}  // namespace
}  // namespace orvanta
