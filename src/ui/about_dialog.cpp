#include "ui/about_dialog.h"

#include <shellapi.h>

#include <cstdio>
#include <utility>

#include "ui/hyperlink_label.h"
#include "ui/program_version.h"
#include "ui/resource.h"

namespace orvanta {

namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 250);

}  // namespace

const char* const kMonthAbbreviations[13] = {"",     "Jan.", "Feb.", "Mar.", "Apr.", "May", "Jun.",
                                             "Jul.", "Aug.", "Sep.", "Oct.", "Nov.", "Dec."};

AboutDialogServices RealAboutDialogServices() {
  AboutDialogServices services;
  services.openAddress = [](const char* address) {
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    execute.lpFile = address;
    execute.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExA(&execute);  // nothing to tell the user when there is no browser
  };
  return services;
}

AboutDialog::AboutDialog(AboutDialogServices services)
    : ModalDialog(IDD_ABOUTBOX), services_(std::move(services)) {}

bool AboutDialog::OnInitDialog() {
  // On failure the address stays a plain text.
  AttachHyperlinkLabel(Window(), IDC_HOME_PAGE, &AboutDialog::OnLinkEvent, kLinkColour, nullptr, true,
                       ::LoadCursorA(nullptr, IDC_HAND), 0);

  uint32_t high = 0;
  uint32_t low = 0;
  if (GetProgramVersion(high, low)) {
    char version[64];
    std::snprintf(version, sizeof version, "%u.%u.%u.%u", static_cast<unsigned>(high >> 16),
                  static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 16),
                  static_cast<unsigned>(low & 0xFFFF));
    ::SetDlgItemTextA(Window(), IDC_VERSION, version);
  }

  char date[64];
  std::snprintf(date, sizeof date, "%s, %.2u %.4u", kMonthAbbreviations[kBuildDate.wMonth],
                static_cast<unsigned>(kBuildDate.wDay), static_cast<unsigned>(kBuildDate.wYear));
  ::SetDlgItemTextA(Window(), IDC_BUILD_DATE, date);
  return true;
}

int AboutDialog::OnLinkEvent(HWND window, UINT message, WPARAM, LPARAM, int32_t) {
  if (message != WM_LBUTTONDOWN) return 1;
  if (::GetDlgCtrlID(window) != IDC_HOME_PAGE) return 1;
  auto* about = dynamic_cast<AboutDialog*>(ModalDialog::FromWindow(::GetParent(window)));
  if (about != nullptr && about->services_.openAddress) about->services_.openAddress(ORVANTA_HOME_PAGE);
  return 1;
}

void ShowAboutBox() {
  AboutDialog about;
  about.DoModal();
}

}  // namespace orvanta
