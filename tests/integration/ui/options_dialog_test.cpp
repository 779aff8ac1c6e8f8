// The options window from the program's own resources, driven under Wine as
// a user drives it: clicks, typing, list clicks and double clicks, keys
// through the window's own modal loop. Message boxes and the long
// operations go through recording stand-ins; the settings file is real.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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

using test::ListEntries;
using test::WindowText;
using Entries = std::vector<std::string>;

constexpr UINT kWarning = MB_ICONEXCLAMATION;
constexpr UINT kError = MB_ICONERROR;
constexpr UINT kInformation = MB_ICONINFORMATION;

const char kFiveServers[] =
    "[OPTIONS]\r\nperiod=30\r\n[SERVERS]\r\nserver_1=a.example\r\nserver_2=b.example\r\nserver_3=c.example\r\n"
    "server_4=d.example\r\nserver_5=e.example\r\n";

struct Shown {
  std::string text;
  std::string caption;
  UINT type;
  std::string lastSync, lastOffset;  // the result labels as the box appeared
};

class OptionsDialogTest : public testing::Test {
 protected:
  void TearDown() override {
    if (dialog_) dialog_->Destroy();
  }

  void Store(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string FileText() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string Stored(const char* section, const char* key) const {
    char value[300];
    settings_.GetString(section, key, "<missing>", value, sizeof value);
    return value;
  }
  Entries StoredServers() const {
    Entries servers;
    LoadServerList(settings_, servers);
    return servers;
  }

  OptionsDialogServices Services() {
    OptionsDialogServices services;
    services.messageBox = [this](HWND owner, const char* text, const char* caption, UINT type) {
      EXPECT_EQ(owner, dialog_ ? dialog_->Window() : owner);
      shown_.push_back({text, caption, type, WindowText(::GetDlgItem(owner, IDC_LAST_SYNC)),
                        WindowText(::GetDlgItem(owner, IDC_LAST_OFFSET))});
      return IDOK;
    };
    services.synchronize = [this] {
      serversAtSync_ = StoredServers();
      if (!syncResult_) return false;
      SystemTime local{2009, 3, 0, 15, 0, 3, 57, 894};
      return WriteSyncResult(settings_, local, -0.25);
    };
    services.installService = [this] { return ++installs_, serviceResult_; };
    services.removeService = [this] { return ++removals_, serviceResult_; };
    services.showAboutBox = [this] { ++aboutBoxes_; };
    return services;
  }

  void Open(const SettingsFile* settings = nullptr) {
    if (dialog_) dialog_->Destroy();
    dialog_ = std::make_unique<OptionsDialog>(settings ? *settings : settings_, "Orvanta", Services());
    ASSERT_TRUE(dialog_->Create(nullptr));
    list_ = Item(IDC_SERVER_LIST);
  }
  HWND Item(int id) const { return dialog_->Item(id); }
  std::string Text(int id) const { return WindowText(Item(id)); }
  void Press(int id) { test::Click(Item(id)); }
  void Select(int index) { test::ClickEntry(list_, index); }

  test::TempDir dir_;
  std::string path_ = dir_.Path() + "/orvanta.ini";
  SettingsFile settings_{path_};
  std::unique_ptr<OptionsDialog> dialog_;
  HWND list_ = nullptr;
  std::vector<Shown> shown_;
  Entries serversAtSync_;
  bool syncResult_ = true;
  bool serviceResult_ = true;
  int installs_ = 0, removals_ = 0, aboutBoxes_ = 0;
};

TEST_F(OptionsDialogTest, WithoutSettingsFileShowsTheDefaults) {
  Open();
  EXPECT_EQ(WindowText(dialog_->Window()), "Orvanta");
  EXPECT_EQ(Text(IDC_PREFERRED), kDefaultServer);
  EXPECT_EQ(ListEntries(list_), Entries{kDefaultServer});
  EXPECT_EQ(Text(IDC_PERIOD), "120");
  EXPECT_EQ(Text(IDC_LAST_SYNC), "-");
  EXPECT_EQ(Text(IDC_LAST_OFFSET), "UNKNOWN");
  EXPECT_EQ(::GetFocus(), Item(IDC_PREFERRED));
  EXPECT_FALSE(::IsWindowVisible(Item(IDOK)));
  EXPECT_FALSE(::IsWindowEnabled(Item(IDOK)));
}

TEST_F(OptionsDialogTest, ShowsStoredServersPeriodAndLastAdjustment) {
  Store(std::string(kFiveServers) + "[INFO]\r\nadjusted=-0.250\r\nlast=D907030000000F000000030039007E03AF\r\n");
  Open();
  EXPECT_EQ(Text(IDC_PREFERRED), "a.example");
  EXPECT_EQ(ListEntries(list_), (Entries{"a.example", "b.example", "c.example", "d.example", "e.example"}));
  EXPECT_EQ(Text(IDC_PERIOD), "30");
  EXPECT_EQ(Text(IDC_LAST_SYNC), "2009/03/15 00:03");
  EXPECT_EQ(Text(IDC_LAST_OFFSET), "-0.250 sec.");

  for (const auto& [stored, shown] : {std::pair{"0", "120"}, {"10000", "9999"}, {"-1", "9999"}, {"0120", "120"}}) {
    Store(std::string("[OPTIONS]\r\nperiod=") + stored + "\r\n[INFO]\r\nlast=D907\r\n");
    Open();
    EXPECT_EQ(Text(IDC_PERIOD), shown) << "stored " << stored;
    EXPECT_EQ(Text(IDC_LAST_SYNC), "-") << "an invalid time shows nothing";
  }
}

TEST_F(OptionsDialogTest, SystemMenuIconAndToolTips) {
  Open();
  HMENU menu = ::GetSystemMenu(dialog_->Window(), FALSE);
  const int count = ::GetMenuItemCount(menu);
  char about[64] = {};
  ::GetMenuStringA(menu, count - 1, about, sizeof about, MF_BYPOSITION);
  EXPECT_EQ(std::string(about), "&About orvanta...");
  EXPECT_EQ(::GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  EXPECT_EQ(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));

  ::SendMessageA(dialog_->Window(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  ::SendMessageA(dialog_->Window(), WM_SYSCOMMAND, IDM_ABOUTBOX | 0xF, 0);  // the low four bits do not count
  ::SendMessageA(Item(IDC_PROGRAM_ICON), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::SendMessageA(Item(IDC_PROGRAM_ICON), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(aboutBoxes_, 3);
  ::SendMessageA(dialog_->Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);  // other commands as usual
  EXPECT_TRUE(::IsIconic(dialog_->Window()));
  ::SendMessageA(dialog_->Window(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(::IsIconic(dialog_->Window()));
  EXPECT_EQ(aboutBoxes_, 3);

  HICON icon = dialog_->Icon();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(::SendMessageA(dialog_->Window(), WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
  EXPECT_EQ(::SendMessageA(dialog_->Window(), WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(icon));
  EXPECT_EQ(::SendMessageA(dialog_->Window(), WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(icon));

  HWND tip = dialog_->ToolTip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(::GetWindowLongPtrA(tip, GWL_STYLE) & (TTS_BALLOON | TTS_NOPREFIX), TTS_BALLOON | TTS_NOPREFIX);
  EXPECT_EQ(::SendMessageA(tip, TTM_GETMAXTIPWIDTH, 0, 0), 300);
  EXPECT_EQ(static_cast<COLORREF>(::SendMessageA(tip, TTM_GETTIPBKCOLOR, 0, 0)), RGB(0xAA, 0xFF, 0xFF));
  EXPECT_EQ(::SendMessageA(tip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 60000);
  const std::pair<int, std::string> expected[] = {
      {IDC_ADD_SERVER, "Add server into the list."},
      {IDC_REMOVE_SERVER, "Remove server from the list."},
      {IDC_SERVER_LIST, "List of alternative servers which will be used if preferred is not reachable."},
      {IDC_PREFERRED,
       "Internet time server with which you want to synchronize your computer clock.\r\nOnly NTP server will work."},
      {IDC_PERIOD, "How often this program wakes and try to synchronize clock."},
      {IDC_HELP_BUTTON, "See more program features..."},
      {IDC_FACTORY_LIST, "Set default configuration."},
  };
  ASSERT_EQ(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 7);
  for (int i = 0; i < 7; ++i) {
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    ASSERT_TRUE(::SendMessageA(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), static_cast<UINT>(TTF_IDISHWND)) << i;
    EXPECT_EQ(tool.hwnd, dialog_->Window()) << i;
    EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), Item(expected[i].first)) << i;
    // The whole text: the narrow answers are cut to 80 characters.
    wchar_t wide[200] = {};
    TTTOOLINFOW query{};
    query.cbSize = TTTOOLINFOW_V2_SIZE;
    query.hwnd = tool.hwnd;
    query.uId = tool.uId;
    query.lpszText = wide;
    ::SendMessageW(tip, TTM_GETTEXTW, sizeof wide / sizeof wide[0], reinterpret_cast<LPARAM>(&query));
    EXPECT_EQ(std::string(wide, wide + lstrlenW(wide)), expected[i].second) << i;
  }
}

TEST_F(OptionsDialogTest, ToolTipSeesTheMouseThroughTheModalLoop) {
  Open();
  HWND plus = Item(IDC_ADD_SERVER);
  RECT bounds;
  ::GetWindowRect(plus, &bounds);
  ::SetCursorPos((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
  ::PostMessageA(plus, WM_MOUSEMOVE, 0, MAKELPARAM((bounds.right - bounds.left) / 2, (bounds.bottom - bounds.top) / 2));
  HWND tip = dialog_->ToolTip();
  test::RunLoopUntil(*dialog_, [tip] { return ::IsWindowVisible(tip) != FALSE; }, 5000);
  ASSERT_TRUE(::IsWindowVisible(tip));
  char text[200] = {};
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.lpszText = text;
  ASSERT_TRUE(::SendMessageA(tip, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&tool)));
  EXPECT_EQ(std::string(text), "Add server into the list.");
}

TEST_F(OptionsDialogTest, PlusAddsThePreferredServerOnTopOnce) {
  Open();
  test::TypeInto(Item(IDC_PREFERRED), "b.example");
  Press(IDC_ADD_SERVER);
  EXPECT_EQ(ListEntries(list_), (Entries{"b.example", kDefaultServer}));
  EXPECT_EQ(test::ListSelection(list_), -1);
  EXPECT_EQ(Text(IDC_PREFERRED), "b.example");

  test::TypeInto(Item(IDC_PREFERRED), "POOL.ntp.ORG");
  Press(IDC_ADD_SERVER);
  EXPECT_EQ(ListEntries(list_), (Entries{"b.example", kDefaultServer}));
  EXPECT_EQ(test::ListSelection(list_), 1);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "This server is already in the list.");
  EXPECT_EQ(shown_[0].caption, "Orvanta");
  EXPECT_EQ(shown_[0].type, kError);

  for (const char* blank : {"", "   "}) {
    test::TypeInto(Item(IDC_PREFERRED), blank);
    Press(IDC_ADD_SERVER);
    EXPECT_EQ(ListEntries(list_).size(), 2u) << "an empty name is never added";
  }
  EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(OptionsDialogTest, XRemovesTheSelectedEntryAndSelectsItsSuccessor) {
  Store(kFiveServers);
  Open();
  Press(IDC_REMOVE_SERVER);  // nothing selected
  EXPECT_EQ(ListEntries(list_).size(), 5u);

  Select(4);
  Press(IDC_REMOVE_SERVER);
  EXPECT_EQ(ListEntries(list_), (Entries{"a.example", "b.example", "c.example", "d.example"}));
  EXPECT_EQ(test::ListSelection(list_), 3) << "the new last entry";

  Select(1);
  Press(IDC_REMOVE_SERVER);
  EXPECT_EQ(ListEntries(list_), (Entries{"a.example", "c.example", "d.example"}));
  EXPECT_EQ(test::ListSelection(list_), 1) << "the entry that moved up";

  Press(IDC_REMOVE_SERVER);
  Press(IDC_REMOVE_SERVER);
  Press(IDC_REMOVE_SERVER);
  EXPECT_TRUE(ListEntries(list_).empty());
  EXPECT_EQ(test::ListSelection(list_), -1);
  EXPECT_EQ(Text(IDC_PREFERRED), "a.example") << "the field is not touched";
  EXPECT_TRUE(shown_.empty());
}

TEST_F(OptionsDialogTest, DoubleClickMakesAnEntryThePreferredServer) {
  Store(kFiveServers);
  Open();
  test::DoubleClickEntry(list_, 3);
  EXPECT_EQ(Text(IDC_PREFERRED), "d.example");
  EXPECT_EQ(ListEntries(list_), (Entries{"d.example", "a.example", "b.example", "c.example", "e.example"}));
  EXPECT_EQ(test::ListSelection(list_), -1);

  // A double click that selected nothing does nothing.
  ::SendMessageA(dialog_->Window(), WM_COMMAND, MAKEWPARAM(IDC_SERVER_LIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list_));
  EXPECT_EQ(Text(IDC_PREFERRED), "d.example");
  EXPECT_EQ(ListEntries(list_).size(), 5u);
}

TEST_F(OptionsDialogTest, FactoryListReplacesTheListUntilSaved) {
  Store(kFiveServers);
  const std::string before = FileText();
  Open();
  Press(IDC_FACTORY_LIST);
  const Entries factory(kFactoryServers, kFactoryServers + kFactoryServerCount);
  EXPECT_EQ(ListEntries(list_), factory);
  EXPECT_EQ(Text(IDC_PREFERRED), factory[0]);
  EXPECT_EQ(Text(IDC_PERIOD), "30");
  Press(IDCANCEL);
  EXPECT_TRUE(dialog_->Ended());
  EXPECT_EQ(FileText(), before);
}

TEST_F(OptionsDialogTest, SaveStoresPreferredListEndAndPeriodThenCloses) {
  const struct {
    const char* preferred;
    std::string period;
    Entries servers;       // stored, in order
    const char* endKey;    // the empty entry ending the list
    std::string storedPeriod;
  } cases[] = {
      // Preferred equal to the first entry but for the case: stored once, as typed.
      {"A.EXAMPLE", "0120", {"A.EXAMPLE", "b.example", "c.example", "d.example", "e.example"}, "server_6", "0120"},
      // Typed, not added: ahead of the whole list, twice when listed further down.
      {"c.EXAMPLE", "0", {"c.EXAMPLE", "a.example", "b.example", "c.example", "d.example", "e.example"},
       "server_7", "30"},
      {"", "", {"a.example", "b.example", "c.example", "d.example", "e.example"}, "server_6", "30"},
  };
  for (const auto& c : cases) {
    Store(kFiveServers);
    Open();
    test::TypeInto(Item(IDC_PREFERRED), c.preferred);
    test::TypeInto(Item(IDC_PERIOD), c.period);
    Press(IDC_SAVE);
    EXPECT_TRUE(dialog_->Ended()) << c.preferred;
    EXPECT_EQ(test::RunQueuedMessages(*dialog_), IDCANCEL);
    EXPECT_EQ(StoredServers(), c.servers) << c.preferred;
    EXPECT_EQ(Stored("SERVERS", c.endKey), "") << c.preferred;
    EXPECT_EQ(Stored("OPTIONS", "period"), c.storedPeriod) << c.preferred;
  }
  EXPECT_TRUE(shown_.empty());
}

TEST_F(OptionsDialogTest, SaveNeverStoresAnEmptyServer) {
  // An empty entry among the others is left out: the servers after it survive.
  Store(kFiveServers);
  Open();
  ::SendMessageA(list_, LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>(""));
  ::SendMessageA(list_, LB_INSERTSTRING, 3, reinterpret_cast<LPARAM>("  "));
  Press(IDC_SAVE);
  EXPECT_EQ(StoredServers(), (Entries{"a.example", "b.example", "c.example", "d.example", "e.example"}));
  EXPECT_EQ(Stored("SERVERS", "server_6"), "");

  // Nothing left at all: only the end, and the default server is read back.
  Store(kFiveServers);
  Open();
  test::TypeInto(Item(IDC_PREFERRED), "");
  Select(0);
  for (int i = 0; i < 5; ++i) Press(IDC_REMOVE_SERVER);
  Press(IDC_SAVE);
  EXPECT_EQ(Stored("SERVERS", "server_1"), "");
  EXPECT_EQ(Stored("SERVERS", "server_2"), "b.example") << "later keys stay, unread";
  EXPECT_EQ(StoredServers(), Entries{kDefaultServer});
}

TEST_F(OptionsDialogTest, PeriodFieldTakesFourDigitsOnly) {
  Open();
  test::TypeInto(Item(IDC_PERIOD), "12x3");
  EXPECT_EQ(Text(IDC_PERIOD), "123");
  test::TypeInto(Item(IDC_PERIOD), "123456");
  EXPECT_EQ(Text(IDC_PERIOD), "1234");
}

TEST_F(OptionsDialogTest, FailedSaveSaysSoAndKeepsTheEdits) {
  const SettingsFile unwritable(dir_.Path() + "/missing/orvanta.ini");
  Open(&unwritable);
  test::TypeInto(Item(IDC_PREFERRED), "x.example");
  Press(IDC_ADD_SERVER);
  Press(IDC_SAVE);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Unable to save the settings.");
  EXPECT_EQ(shown_[0].type, kError);
  EXPECT_FALSE(dialog_->Ended());
  EXPECT_EQ(Text(IDC_PREFERRED), "x.example");
  EXPECT_EQ(ListEntries(list_), (Entries{"x.example", kDefaultServer}));

  // One write for everything: a value that cannot be stored leaves the whole
  // file as it was, the period and the servers before it included.
  Store(kFiveServers);
  const std::string before = FileText();
  Open();
  test::TypeInto(Item(IDC_PERIOD), "45");
  ::SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("bad\nname"));
  Press(IDC_SAVE);
  EXPECT_EQ(FileText(), before);
  EXPECT_FALSE(dialog_->Ended());
  EXPECT_EQ(shown_.back().text, "Unable to save the settings.");
}

TEST_F(OptionsDialogTest, SynchronizeNowUsesTheStoredListAndShowsTheResultFirst) {
  Store("[SERVERS]\r\nserver_1=stored.example\r\n");
  Open();
  test::TypeInto(Item(IDC_PREFERRED), "unsaved.example");
  Press(IDC_ADD_SERVER);

  syncResult_ = false;
  Press(IDC_SYNCHRONIZE_NOW);
  EXPECT_EQ(serversAtSync_, Entries{"stored.example"});
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Unable to synchronize.");
  EXPECT_EQ(shown_[0].type, kWarning) << "MB_OK gets the warning icon";
  EXPECT_EQ(shown_[0].lastSync, "-");

  syncResult_ = true;
  Press(IDC_SYNCHRONIZE_NOW);
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[1].text, "The time has been successfully synchronized.");
  EXPECT_EQ(shown_[1].type, kInformation);
  EXPECT_EQ(shown_[1].lastSync, "2009/03/15 00:03");
  EXPECT_EQ(shown_[1].lastOffset, "-0.250 sec.");
  EXPECT_FALSE(dialog_->Ended());
}

TEST_F(OptionsDialogTest, InstallRemoveAndHelpTellTheOutcome) {
  Open();
  const struct {
    int button;
    bool result;
    const char* text;
    UINT type;
  } cases[] = {
      {IDC_INSTALL_SERVICE, true, "Successfully installed into services.", kInformation},
      {IDC_INSTALL_SERVICE, false, "Unable to install into services.", kError},
      {IDC_REMOVE_SERVICE, true, "Successfully uninstalled from the services.", kInformation},
      {IDC_REMOVE_SERVICE, false, "Unable to uninstall from the services.", kError},
  };
  for (const auto& c : cases) {
    serviceResult_ = c.result;
    Press(c.button);
    ASSERT_FALSE(shown_.empty());
    EXPECT_EQ(shown_.back().text, c.text);
    EXPECT_EQ(shown_.back().type, c.type);
  }
  EXPECT_EQ(installs_, 2);
  EXPECT_EQ(removals_, 2);

  Press(IDC_HELP_BUTTON);
  EXPECT_EQ(shown_.back().text,
            "Important!\nSynchronization can occur only when your computer is connected to the Internet.\n\n"
            "For advanced user:\nYou can use several command line arguments to adapt program to your needs.\n"
            "Note: you can not combine arguments for one run\n\n\"options\" start program in this GUI mode.\n"
            "\"once\" no periodical synchronization. When synchronization is done, program ends.\n"
            "\"installme\" program Install itself into the Services\n"
            "\"uninstallme\" program Uninstall itself from the Services\n");
  EXPECT_EQ(shown_.back().type, kInformation);
}

TEST_F(OptionsDialogTest, EnterInAFieldDoesNothingEscapeAndCloseBoxCancel) {
  Open();
  HWND window = dialog_->Window();
  // Enter on a focused push button presses it...
  ::SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_HELP_BUTTON)), TRUE);
  test::PostKey(Item(IDC_HELP_BUTTON), VK_RETURN);
  EXPECT_EQ(test::RunQueuedMessages(*dialog_), ModalDialog::kLoopQuit);
  ASSERT_EQ(shown_.size(), 1u);
  // ...in the fields and the list it does nothing.
  test::TypeInto(Item(IDC_PREFERRED), "typed.example");
  for (const int field : {IDC_PREFERRED, IDC_PERIOD, IDC_SERVER_LIST}) {
    ::SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(field)), TRUE);
    test::PostKey(Item(field), VK_RETURN);
    EXPECT_EQ(test::RunQueuedMessages(*dialog_), ModalDialog::kLoopQuit) << field;
  }
  EXPECT_EQ(shown_.size(), 1u);
  EXPECT_EQ(ListEntries(list_).size(), 1u);

  test::PostKey(Item(IDC_PREFERRED), VK_ESCAPE);
  EXPECT_EQ(test::RunQueuedMessages(*dialog_), IDCANCEL);
  Open();
  ::SendMessageA(dialog_->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(test::RunQueuedMessages(*dialog_), IDCANCEL);
  EXPECT_TRUE(FileText().empty()) << "nothing was written";
}

TEST_F(OptionsDialogTest, AboutItemOpensTheAboutBoxOverTheDisabledWindow) {
  Open();
  OptionsDialogServices services = Services();
  services.showAboutBox = ShowAboutBox;
  dialog_ = std::make_unique<OptionsDialog>(settings_, "Orvanta", services);
  ASSERT_TRUE(dialog_->Create(nullptr));
  HWND options = dialog_->Window();
  HWND about = nullptr, owner = nullptr;
  BOOL optionsEnabled = TRUE;
  std::string version;
  ::PostMessageA(options, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  test::RunLoopUntil(*dialog_, [&] {
    if (about == nullptr && (about = ::FindWindowA(nullptr, "About Orvanta")) != nullptr) {
      owner = ::GetWindow(about, GW_OWNER);
      optionsEnabled = ::IsWindowEnabled(options);
      version = WindowText(::GetDlgItem(about, IDC_VERSION));
      test::PostKey(about, VK_ESCAPE);
    }
    return about != nullptr && !::IsWindow(about);
  });
  ASSERT_NE(about, nullptr);
  EXPECT_FALSE(::IsWindow(about));
  EXPECT_EQ(owner, options);
  EXPECT_FALSE(optionsEnabled);
  EXPECT_TRUE(::IsWindowEnabled(options));
  EXPECT_EQ(version, "1.0.0.8");
}

TEST_F(OptionsDialogTest, OptionsRoleRunsTheWindowCentredUntilEscape) {
  RECT seen{};
  HWND window = nullptr;
  test::TickWatcher watcher([&] {
    HWND found = ::FindWindowA(nullptr, "Orvanta");
    if (window == nullptr && found != nullptr && ::IsWindowVisible(found)) {
      window = found;
      ::GetWindowRect(window, &seen);
      test::PostKey(::GetDlgItem(window, IDC_PREFERRED), VK_ESCAPE);
    }
  });
  EXPECT_EQ(RunOptionsDialog(settings_, "Orvanta", Services()), 0);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(::IsWindow(window));
  RECT area;
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR((seen.left + seen.right) / 2, (area.left + area.right) / 2, 1);
  EXPECT_NEAR((seen.top + seen.bottom) / 2, (area.top + area.bottom) / 2, 1);
}

}  // namespace
}  // namespace orvanta
