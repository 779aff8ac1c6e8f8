// The About box: product name, the version read from the executable, the
// build date, what the program does, its maker and the maker's home page,
// a link that opens in the user's browser when pressed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "platform/system_time.h"
#include "ui/modal_dialog.h"

namespace orvanta {

// The date this version was built: only year, month and day are shown.
constexpr SystemTime kBuildDate = {2009, 3, 0, 15, 0, 3, 57, 894};

// Month names as the About box writes them, by month number (0 is unused).
extern const char* const kMonthAbbreviations[13];

struct AboutDialogServices {
  // Opens an address with the shell's default action (the browser).
  std::function<void(const char* address)> openAddress;
};

// The shell's own.
AboutDialogServices RealAboutDialogServices();

class AboutDialog : public ModalDialog {
 public:
  explicit AboutDialog(AboutDialogServices services = RealAboutDialogServices());

  // The link's callback: a press of the left button on the home-page label
  // opens the address; every other message is left to the label. Always 1.
  static int OnLinkEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int32_t userValue);

 protected:
  bool OnInitDialog() override;

 private:
  AboutDialogServices services_;
};

// Runs the About box modally, owned by the process's active window.
void ShowAboutBox();

}  // namespace orvanta
