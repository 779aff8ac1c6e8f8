#include "ui/modal_dialog.h"

#include <algorithm>

namespace orvanta {

namespace {

// Marks the windows made by ModalDialog, so that FromWindow never takes
// another window's user data for one of ours.
const char kDialogProperty[] = "OrvantaModalDialog";

}  // namespace

ModalDialog::~ModalDialog() { Destroy(); }

ModalDialog* ModalDialog::FromWindow(HWND window) {
  if (window == nullptr || ::GetPropA(window, kDialogProperty) == nullptr) return nullptr;
  return reinterpret_cast<ModalDialog*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

int ModalDialog::DoModal(HWND parent) {
  HWND owner = parent != nullptr ? parent : ::GetActiveWindow();
  if (owner != nullptr) owner = ::GetAncestor(owner, GA_ROOT);
  if (!Create(owner)) return -1;
  const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
  if (disableOwner) ::EnableWindow(owner, FALSE);
  if (!ended_) ::ShowWindow(window_, SW_SHOW);
  const int result = RunModalLoop();
  // The owner comes back before the dialog goes, so that it is activated
  // again rather than some other program's window.
  if (disableOwner) ::EnableWindow(owner, TRUE);
  if (owner != nullptr && ::GetActiveWindow() == window_) ::SetActiveWindow(owner);
  Destroy();
  return result;
}

bool ModalDialog::Create(HWND owner) {
  if (window_ != nullptr) return false;
  ended_ = false;
  result_ = 0;
  HWND window = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), owner,
                                     &ModalDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  return window != nullptr && window == window_;
}

int ModalDialog::RunModalLoop() {
  MSG message;
  while (!ended_ && window_ != nullptr) {
    const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return kLoopQuit;
    }
    if (got == -1) return -1;
    const bool forDialog =
        message.hwnd != nullptr && (message.hwnd == window_ || ::IsChild(window_, message.hwnd));
    if (forDialog && PreTranslateMessage(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return result_;
}

void ModalDialog::Destroy() {
  if (window_ == nullptr) return;
  HWND window = window_;
  ::DestroyWindow(window);  // WM_NCDESTROY forgets window_
  window_ = nullptr;
}

void ModalDialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
}

bool ModalDialog::PreTranslateMessage(MSG& message) { return ::IsDialogMessageA(window_, &message) != FALSE; }

void ModalDialog::OnCommand(int id, int, HWND) {
  if (id == IDOK || id == IDCANCEL) EndDialog(id);
}

bool ModalDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

void ModalDialog::CentreOver(HWND owner) {
  RECT window;
  ::GetWindowRect(window_, &window);
  RECT area;
  if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT around = area;
  if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &around);
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  LONG left = around.left + (around.right - around.left - width) / 2;
  LONG top = around.top + (around.bottom - around.top - height) / 2;
  // Whole on the work area when it fits there.
  left = std::max(area.left, std::min(left, area.right - width));
  top = std::max(area.top, std::min(top, area.bottom - height));
  ::SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK ModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<ModalDialog*>(lParam);
    dialog->window_ = window;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog));
    ::SetPropA(window, kDialogProperty, reinterpret_cast<HANDLE>(dialog));
    const bool focusFirst = dialog->OnInitDialog();
    dialog->CentreOver(::GetWindow(window, GW_OWNER));
    return focusFirst ? TRUE : FALSE;
  }
  ModalDialog* dialog = FromWindow(window);
  if (dialog == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    ::RemovePropA(window, kDialogProperty);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    dialog->window_ = nullptr;
    return FALSE;
  }
  if (message == WM_COMMAND) {
    dialog->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    return TRUE;
  }
  INT_PTR result = FALSE;
  if (!dialog->OnMessage(message, wParam, lParam, result)) return FALSE;
  return result;
}

}  // namespace orvanta
