// The About box from the program's own resources under Wine: what it shows,
// and that only a press of the left button on the home-page link asks the
// shell to open the address.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "integration/ui/ui_driver.h"
#include "support/temp_dir.h"
#include "ui/about_dialog.h"
#include "ui/hyperlink_label.h"
#include "ui/program_version.h"
#include "ui/resource.h"

namespace orvanta {
namespace {

class AboutDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    AboutDialogServices services;
    services.openAddress = [this](const char* address) { opened_.push_back(address); };
    about_ = std::make_unique<AboutDialog>(services);
    ASSERT_TRUE(about_->Create(nullptr));
    ::ShowWindow(about_->Window(), SW_SHOW);
  }

  std::vector<std::string> opened_;
  std::unique_ptr<AboutDialog> about_;
};

TEST_F(AboutDialogTest, ShowsVersionFromTheExecutableBuildDateAndLink) {
  EXPECT_EQ(test::WindowText(about_->Window()), "About Orvanta");
  EXPECT_EQ(test::WindowText(about_->Item(IDC_VERSION)), "1.0.0.8");
  EXPECT_EQ(test::WindowText(about_->Item(IDC_BUILD_DATE)), "Mar., 15 2009");
  HWND link = about_->Item(IDC_HOME_PAGE);
  EXPECT_EQ(test::WindowText(link), ORVANTA_HOME_PAGE);
  EXPECT_EQ(::GetWindowLongPtrA(link, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&HyperlinkLabelProc));
  EXPECT_EQ(::GetFocus(), about_->Item(IDOK));
  // Painted as a link: the underline in the link's colour on the bottom row.
  RECT bounds;
  ::GetClientRect(link, &bounds);
  EXPECT_FALSE(test::Pixels(link).InRow(bounds.bottom - 1, RGB(0, 0, 250)).empty());
}

TEST_F(AboutDialogTest, OnlyALeftButtonPressOnTheLinkOpensTheAddress) {
  HWND link = about_->Item(IDC_HOME_PAGE);
  const LPARAM at = MAKELPARAM(3, 3);
  for (const UINT other : {WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_LBUTTONUP, WM_LBUTTONDBLCLK}) {
    ::SendMessageA(link, other, 0, at);
  }
  EXPECT_TRUE(opened_.empty());
  ::SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, at);
  EXPECT_EQ(opened_, std::vector<std::string>{ORVANTA_HOME_PAGE});
  ::SendMessageA(link, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(opened_.size(), 1u) << "the release opens nothing more";
  // The callback acts for control 1012 only.
  EXPECT_EQ(AboutDialog::OnLinkEvent(about_->Item(IDC_VERSION), WM_LBUTTONDOWN, MK_LBUTTON, at, 0), 1);
  EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(AboutDialogTest, OkEnterAndEscapeCloseTheBox) {
  test::Click(about_->Item(IDOK));
  EXPECT_EQ(test::RunQueuedMessages(*about_), IDOK);
  about_->Destroy();

  ASSERT_TRUE(about_->Create(nullptr));
  test::PostKey(about_->Item(IDOK), VK_ESCAPE);
  EXPECT_EQ(test::RunQueuedMessages(*about_), IDCANCEL);
}

TEST(ProgramVersionTest, FileWithoutVersionResourceHasNone) {
  test::TempDir dir;
  const std::string path = dir.Path() + "\\plain.txt";
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  uint32_t high = 7, low = 7;
  EXPECT_FALSE(GetFileProductVersion(path, high, low));
  EXPECT_EQ(high, 7u);
  ASSERT_TRUE(GetProgramVersion(high, low));
  EXPECT_EQ(high, 0x00010000u);
  EXPECT_EQ(low, 0x00000008u);
}

}  // namespace
}  // namespace orvanta
