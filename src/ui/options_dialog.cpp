#include "ui/options_dialog.h"

#include <commctrl.h>
#include <mbstring.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/system_time.h"
#include "settings/factory_servers.h"
#include "settings/ini_document.h"
#include "settings/settings_keys.h"
#include "settings/settings_readers.h"
#include "ui/about_dialog.h"
#include "ui/gdi_owners.h"
#include "ui/resource.h"

namespace orvanta {

namespace options_text {
const char* const kHelp =
    "Important!\n"
    "Synchronization can occur only when your computer is connected to the Internet.\n"
    "\n"
    "For advanced user:\n"
    "You can use several command line arguments to adapt program to your needs.\n"
    "Note: you can not combine arguments for one run\n"
    "\n"
    "\"options\" start program in this GUI mode.\n"
    "\"once\" no periodical synchronization. When synchronization is done, program ends.\n"
    "\"installme\" program Install itself into the Services\n"
    "\"uninstallme\" program Uninstall itself from the Services\n";
}  // namespace options_text

namespace {

struct ToolTipText {
  int control;
  const char* text;
};

// In the order the tools are registered.
const ToolTipText kToolTips[] = {
    {IDC_ADD_SERVER, "Add server into the list."},
    {IDC_REMOVE_SERVER, "Remove server from the list."},
    {IDC_SERVER_LIST, "List of alternative servers which will be used if preferred is not reachable."},
    {IDC_PREFERRED,
     "Internet time server with which you want to synchronize your computer clock.\r\nOnly NTP server will work."},
    {IDC_PERIOD, "How often this program wakes and try to synchronize clock."},
    {IDC_HELP_BUTTON, "See more program features..."},
    {IDC_FACTORY_LIST, "Set default configuration."},
};

constexpr int kToolTipMaxWidth = 300;
constexpr COLORREF kToolTipColour = RGB(0xAA, 0xFF, 0xFF);
constexpr int kToolTipShowMs = 60000;
constexpr int kPeriodDigits = 4;

// The common controls (the tool tip) come from comctl32, loaded when the
// window is made rather than imported: the library's start-up opens the
// desktop, which the program's windowless roles have no business doing.
class CommonControls {
 public:
  CommonControls() : library_(::LoadLibraryA("comctl32.dll")) {
    if (library_ == nullptr) return;
    using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init = reinterpret_cast<Init>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library_, "InitCommonControlsEx")));
    if (init == nullptr) return;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    init(&controls);
  }
  ~CommonControls() {
    if (library_ != nullptr) ::FreeLibrary(library_);
  }
  CommonControls(const CommonControls&) = delete;
  CommonControls& operator=(const CommonControls&) = delete;

 private:
  HMODULE library_;
};

// Once per process, kept until the process ends.
void UseCommonControls() { static const CommonControls controls; }

// Host names compare equal in either letter case (multibyte-aware, in the
// current code page).
bool SameServer(const std::string& a, const std::string& b) {
  return ::_mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                    reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

// A name the settings reader would see as empty (it trims blanks), which
// would end the stored list where it stands.
bool IsBlankName(const std::string& name) { return TrimIniBlanks(name).empty(); }

// The period as typed counts when its leading number (blanks, a sign and
// digits, as atoi reads it) is above 0.
bool PeriodCounts(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10) > 0; }

}  // namespace

OptionsDialogServices StandardOptionsDialogServices() {
  OptionsDialogServices services;
  services.messageBox = [](HWND owner, const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(owner, text, caption, type);
  };
  services.showAboutBox = [] { ShowAboutBox(); };
  return services;
}

OptionsDialog::OptionsDialog(const SettingsFile& settings, std::string caption, OptionsDialogServices services)
    : ModalDialog(IDD_OPTIONS),
      settings_(settings),
      caption_(std::move(caption)),
      services_(std::move(services)),
      icon_(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

bool OptionsDialog::PreTranslateMessage(MSG& message) {
  ::SendMessageA(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
  return ModalDialog::PreTranslateMessage(message);
}

bool OptionsDialog::OnInitDialog() {
  HWND window = Window();
  serverList_ = Item(IDC_SERVER_LIST);

  if (HMENU systemMenu = ::GetSystemMenu(window, FALSE)) {
    char about[256];
    if (::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof about) > 0 && about[0] != '\0') {
      ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }

  ::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  ::SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

  CreateToolTip();

  ::SendDlgItemMessageA(window, IDC_PERIOD, EM_LIMITTEXT, kPeriodDigits, 0);

  std::vector<std::string> servers;
  LoadServerList(settings_, servers);  // never empty
  for (const std::string& server : servers) {
    ::SendMessageA(serverList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(server.c_str()));
  }
  ::SetDlgItemTextA(window, IDC_PREFERRED, servers.front().c_str());

  char period[16];
  std::snprintf(period, sizeof period, "%u", static_cast<unsigned>(ReadPeriodMinutes(settings_)));
  ::SetDlgItemTextA(window, IDC_PERIOD, period);

  RefreshLastSyncLabels();
  return true;
}

void OptionsDialog::CreateToolTip() {
  UseCommonControls();
  HWND window = Window();
  toolTip_ = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                               ::GetModuleHandleA(nullptr), nullptr);
  // Without a tool tip window the messages below go nowhere, harmlessly.
  ::SendMessageA(toolTip_, TTM_ACTIVATE, TRUE, 0);
  ::SendMessageA(toolTip_, TTM_SETMAXTIPWIDTH, 0, kToolTipMaxWidth);
  ::SendMessageA(toolTip_, TTM_SETTIPBKCOLOR, kToolTipColour, 0);
  ::SendMessageA(toolTip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(kToolTipShowMs, 0));
  for (const ToolTipText& tip : kToolTips) {
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;  // the whole control; the tip sees the mouse through PreTranslateMessage
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(tip.control));
    tool.lpszText = const_cast<char*>(tip.text);
    ::SendMessageA(toolTip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void OptionsDialog::RefreshLastSyncLabels() {
  SystemTime last;
  if (ReadLastSync(settings_, last)) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4u/%.2u/%.2u %.2u:%.2u", unsigned{last.wYear}, unsigned{last.wMonth},
                  unsigned{last.wDay}, unsigned{last.wHour}, unsigned{last.wMinute});
    ::SetDlgItemTextA(Window(), IDC_LAST_SYNC, text);
  } else {
    ::SetDlgItemTextA(Window(), IDC_LAST_SYNC, "-");
  }
  const std::string adjusted = settings_.GetString(kSectionInfo, kKeyAdjusted, kAdjustedSize);
  if (!adjusted.empty()) {
    ::SetDlgItemTextA(Window(), IDC_LAST_OFFSET, (adjusted + " sec.").c_str());
  } else {
    ::SetDlgItemTextA(Window(), IDC_LAST_OFFSET, "UNKNOWN");
  }
}

void OptionsDialog::ShowMessage(const char* text, UINT type) {
  // A box with plain OK-style buttons and no icon gets the warning icon.
  const UINT buttons = type & MB_TYPEMASK;
  if ((type & MB_ICONMASK) == 0 &&
      (buttons == MB_OK || buttons == MB_OKCANCEL || buttons == MB_YESNOCANCEL || buttons == MB_YESNO)) {
    type |= MB_ICONEXCLAMATION;
  }
  if (services_.messageBox) services_.messageBox(Window(), text, caption_.c_str(), type);
}

void OptionsDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_SYNCHRONIZE_NOW:
      if (code == BN_CLICKED) OnSynchronizeNow();
      return;
    case IDC_INSTALL_SERVICE:
      if (code == BN_CLICKED) OnInstallService();
      return;
    case IDC_REMOVE_SERVICE:
      if (code == BN_CLICKED) OnRemoveService();
      return;
    case IDC_HELP_BUTTON:
      if (code == BN_CLICKED) OnHelp();
      return;
    case IDC_PROGRAM_ICON:
      if (code == STN_CLICKED && services_.showAboutBox) services_.showAboutBox();
      return;
    case IDC_SERVER_LIST:
      if (code == LBN_DBLCLK) OnServerDoubleClick();
      return;
    case IDC_REMOVE_SERVER:
      if (code == BN_CLICKED) OnRemoveServer();
      return;
    case IDC_ADD_SERVER:
      if (code == BN_CLICKED) OnAddServer();
      return;
    case IDC_FACTORY_LIST:
      if (code == BN_CLICKED) OnFactoryList();
      return;
    case IDC_SAVE:
      if (code == BN_CLICKED) OnSave();
      return;
    case IDCANCEL:
      if (code == BN_CLICKED) EndDialog(IDCANCEL);
      return;
    default:
      ModalDialog::OnCommand(id, code, control);
  }
}

bool OptionsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;  // move, minimise, close...
      if (services_.showAboutBox) services_.showAboutBox();
      result = TRUE;
      return true;
    case WM_PAINT:
      if (!OnPaint()) return false;
      result = TRUE;
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<INT_PTR>(icon_);
      return true;
    default:
      return false;
  }
}

bool OptionsDialog::OnPaint() {
  if (!::IsIconic(Window())) return false;
  PaintScope paint(Window());
  ::SendMessageA(Window(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Dc()), 0);
  RECT client;
  ::GetClientRect(Window(), &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(paint.Dc(), x, y, icon_);
  return true;
}

void OptionsDialog::OnSynchronizeNow() {
  // The pass reads the stored servers: unsaved edits play no part.
  if (services_.synchronize && services_.synchronize()) {
    RefreshLastSyncLabels();
    ShowMessage(options_text::kSynchronized, MB_ICONINFORMATION);
  } else {
    ShowMessage(options_text::kNotSynchronized, MB_OK);
  }
}

void OptionsDialog::OnInstallService() {
  RunServiceCommand(services_.installService, options_text::kInstalled, options_text::kNotInstalled);
}

void OptionsDialog::OnRemoveService() {
  RunServiceCommand(services_.removeService, options_text::kUninstalled, options_text::kNotUninstalled);
}

void OptionsDialog::RunServiceCommand(const std::function<bool()>& command, const char* done, const char* failed) {
  // The wait cursor stays until the next cursor update (the message box).
  ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
  if (command && command()) {
    ShowMessage(done, MB_ICONINFORMATION);
  } else {
    ShowMessage(failed, MB_ICONERROR);
  }
}

void OptionsDialog::OnHelp() { ShowMessage(options_text::kHelp, MB_ICONINFORMATION); }

void OptionsDialog::OnServerDoubleClick() {
  const int selected = static_cast<int>(::SendMessageA(serverList_, LB_GETCURSEL, 0, 0));
  if (selected < 0) return;
  const std::string server = Entry(selected);
  ::SetDlgItemTextA(Window(), IDC_PREFERRED, server.c_str());
  ::SendMessageA(serverList_, LB_DELETESTRING, selected, 0);
  ::SendMessageA(serverList_, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(server.c_str()));
}

void OptionsDialog::OnRemoveServer() {
  const int selected = static_cast<int>(::SendMessageA(serverList_, LB_GETCURSEL, 0, 0));
  if (selected < 0) return;
  ::SendMessageA(serverList_, LB_DELETESTRING, selected, 0);
  const int count = EntryCount();
  // The entry that moved into its place, or the new last one (-1: none left).
  ::SendMessageA(serverList_, LB_SETCURSEL, selected < count ? selected : selected - 1, 0);
}

void OptionsDialog::OnAddServer() {
  const std::string server = ItemText(IDC_PREFERRED);
  if (IsBlankName(server)) return;  // an empty entry would end the stored list
  const int count = EntryCount();
  for (int i = 0; i < count; ++i) {
    if (SameServer(Entry(i), server)) {
      ::SendMessageA(serverList_, LB_SETCURSEL, i, 0);
      ShowMessage(options_text::kAlreadyListed, MB_ICONERROR);
      return;
    }
  }
  ::SendMessageA(serverList_, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(server.c_str()));
}

void OptionsDialog::OnFactoryList() {
  ::SendMessageA(serverList_, LB_RESETCONTENT, 0, 0);
  ::SetDlgItemTextA(Window(), IDC_PREFERRED, kFactoryServers[0]);
  for (const char* server : kFactoryServers) {
    ::SendMessageA(serverList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(server));
  }
}

void OptionsDialog::OnSave() {
  std::vector<SettingsChange> changes;
  const std::string period = ItemText(IDC_PERIOD);
  if (PeriodCounts(period)) changes.push_back({kSectionOptions, kKeyPeriod, period});

  // The preferred server first, then the list; the list's first entry is
  // left out when it is the preferred server already. Blank names are left
  // out everywhere: the reader would take one for the end of the list.
  const std::string preferred = ItemText(IDC_PREFERRED);
  const bool hasPreferred = !IsBlankName(preferred);
  const int count = EntryCount();
  const bool skipFirst = hasPreferred && count > 0 && SameServer(Entry(0), preferred);
  int key = 1;
  if (hasPreferred) changes.push_back({kSectionServers, ServerKey(key++), preferred});
  for (int i = skipFirst ? 1 : 0; i < count; ++i) {
    const std::string server = Entry(i);
    if (IsBlankName(server)) continue;
    changes.push_back({kSectionServers, ServerKey(key++), server});
  }
  changes.push_back({kSectionServers, ServerKey(key), ""});  // ends the stored list

  // One replacement of the file: a running service reads the old settings
  // or the new ones, never a mixture.
  if (!settings_.Write(changes)) {
    ShowMessage(options_text::kNotSaved, MB_ICONERROR);  // the edits stay for another try
    return;
  }
  EndDialog(IDCANCEL);
}

std::string OptionsDialog::ItemText(int id) const {
  HWND item = Item(id);
  const int length = ::GetWindowTextLengthA(item);
  std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
  const int copied = ::GetWindowTextA(item, &text[0], static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

int OptionsDialog::EntryCount() const {
  const LRESULT count = ::SendMessageA(serverList_, LB_GETCOUNT, 0, 0);
  return count > 0 ? static_cast<int>(count) : 0;
}

std::string OptionsDialog::Entry(int index) const {
  const LRESULT length = ::SendMessageA(serverList_, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR || length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied = ::SendMessageA(serverList_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

int RunOptionsDialog(const SettingsFile& settings, const std::string& caption, OptionsDialogServices services) {
  OptionsDialog dialog(settings, caption, std::move(services));
  dialog.DoModal();
  return 0;
}

}  // namespace orvanta
