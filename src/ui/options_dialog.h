// The options window: the user edits the preferred server, the list of
// alternatives and the synchronization period, saves them to the settings
// file, synchronizes at once, installs or removes the service, sees the last
// adjustment, reads the help text and opens the About box.
//
// The controls themselves hold what the user edits; nothing is written
// until "Save", which stores everything in one replacement of the file.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "settings/settings_file.h"
#include "ui/modal_dialog.h"

namespace orvanta {

// What the window calls for the long operations and the messages, so that
// the window can be driven without a service manager, a network or anyone
// to close a message box.
struct OptionsDialogServices {
  // Shows a message box; type already carries the icon the window means.
  std::function<int(HWND owner, const char* text, const char* caption, UINT type)> messageBox;
  // One synchronization pass over the stored servers; absent: it fails.
  std::function<bool()> synchronize;
  // Registers and starts the service / stops and deletes it.
  std::function<bool()> installService;
  std::function<bool()> removeService;
  std::function<void()> showAboutBox;
};

// The window's own message box and About box; the caller adds the
// synchronization pass and the service installation and removal.
OptionsDialogServices StandardOptionsDialogServices();

// The texts the window shows.
namespace options_text {
constexpr const char* kSynchronized = "The time has been successfully synchronized.";
constexpr const char* kNotSynchronized = "Unable to synchronize.";
constexpr const char* kInstalled = "Successfully installed into services.";
constexpr const char* kNotInstalled = "Unable to install into services.";
constexpr const char* kUninstalled = "Successfully uninstalled from the services.";
constexpr const char* kNotUninstalled = "Unable to uninstall from the services.";
constexpr const char* kAlreadyListed = "This server is already in the list.";
constexpr const char* kNotSaved = "Unable to save the settings.";
extern const char* const kHelp;
}  // namespace options_text

class OptionsDialog : public ModalDialog {
 public:
  // caption: of every message box (the application's title).
  OptionsDialog(const SettingsFile& settings, std::string caption, OptionsDialogServices services);

  // Hands the message to the tool tip, then to the dialog keyboard handling.
  bool PreTranslateMessage(MSG& message) override;

  HICON Icon() const { return icon_; }
  HWND ToolTip() const { return toolTip_; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void CreateToolTip();
  void RefreshLastSyncLabels();
  void ShowMessage(const char* text, UINT type);
  // Install or Remove: the command under the wait cursor, then its message.
  void RunServiceCommand(const std::function<bool()>& command, const char* done, const char* failed);

  void OnSynchronizeNow();
  void OnInstallService();
  void OnRemoveService();
  void OnHelp();
  void OnServerDoubleClick();
  void OnRemoveServer();
  void OnAddServer();
  void OnFactoryList();
  void OnSave();
  bool OnPaint();

  std::string ItemText(int id) const;
  int EntryCount() const;
  std::string Entry(int index) const;

  const SettingsFile& settings_;
  std::string caption_;
  OptionsDialogServices services_;
  HICON icon_;
  HWND toolTip_ = nullptr;     // owned by the dialog window: it goes with it
  HWND serverList_ = nullptr;  // list box 1005
};

// The "options" role: runs the window modally and answers the process's
// exit status (0).
int RunOptionsDialog(const SettingsFile& settings, const std::string& caption, OptionsDialogServices services);

}  // namespace orvanta
