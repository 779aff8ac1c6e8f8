// A dialog built from a template in the program's resources, run modally by
// a message loop of its own, so that every queued message for the dialog or
// one of its controls passes through PreTranslateMessage (tool tips see the
// mouse there) before the dialog keyboard handling and dispatch.
//
// The window keeps a pointer to its object in its GWLP_USERDATA slot.
#pragma once

#include <windows.h>

namespace orvanta {

class ModalDialog {
 public:
  // What RunModalLoop answers when a WM_QUIT ended the loop before the dialog
  // ended (the quit is posted again for the loop outside).
  static constexpr int kLoopQuit = -2;

  explicit ModalDialog(int templateId) : templateId_(templateId) {}
  virtual ~ModalDialog();
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

  // Creates, centres and shows the window (OnInitDialog runs inside), runs it
  // modally and destroys it; the result given to EndDialog, or -1 when the
  // window could not be created. With no parent, the process's active window
  // is the owner; the owner is disabled while the dialog runs.
  int DoModal(HWND parent = nullptr);

  // The steps of DoModal, for a caller that drives the dialog itself.
  // Create: the window, from the template, owned by owner (may be null),
  // centred over it (or on the screen) and not yet shown unless its template
  // says so. False when the window could not be created.
  bool Create(HWND owner);
  // The loop: waits for and handles messages until EndDialog, or WM_QUIT.
  int RunModalLoop();
  // Destroys the window (nothing when there is none).
  void Destroy();

  // Ends the modal loop with this result; the window stays until Destroy.
  void EndDialog(int result);
  bool Ended() const { return ended_; }

  // For each queued message for the dialog or one of its controls, before it
  // is dispatched; true when it was handled and must not be dispatched. The
  // default is the dialog keyboard handling (Tab, Enter, Escape, mnemonics).
  virtual bool PreTranslateMessage(MSG& message);

  HWND Window() const { return window_; }
  HWND Item(int id) const { return ::GetDlgItem(window_, id); }

  // The object behind a dialog window of this kind; null for any other window.
  static ModalDialog* FromWindow(HWND window);

 protected:
  // WM_INITDIALOG, with Window() set. True: the dialog manager puts the focus
  // on the first tab stop.
  virtual bool OnInitDialog() { return true; }
  // WM_COMMAND; the default ends the dialog on IDOK and IDCANCEL.
  virtual void OnCommand(int id, int code, HWND control);
  // Any other message; true when handled, with result as the dialog
  // procedure's answer. The default handles nothing.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CentreOver(HWND owner);

  int templateId_;
  HWND window_ = nullptr;
  bool ended_ = false;
  int result_ = 0;
};

}  // namespace orvanta
