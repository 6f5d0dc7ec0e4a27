// The dialog layer: modal and modeless runs, and failures kept inside the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "res/resource.h"
#include "ui/dialog.h"
#include "ui/system_calls.h"
#include "ui_support.h"

namespace {

// A small dialog (the automatic run's template) whose OK button fails.
class FailingDialog : public ui::Dialog {
 public:
  FailingDialog() : Dialog(IDD_AUTOMATIC, nullptr) {}
  int inits = 0;

 protected:
  BOOL OnInitDialog() override {
    ++inits;
    return TRUE;
  }
  void OnOK() override { throw std::runtime_error("disk on fire"); }
};

class EndsInInit : public ui::Dialog {
 public:
  EndsInInit() : Dialog(IDD_AUTOMATIC, nullptr) {}

 protected:
  BOOL OnInitDialog() override {
    EndDialog(7);
    return TRUE;
  }
};

using DialogLayer = UiTest;

TEST_F(DialogLayer, FailureInAHandlerIsReportedAndTheWindowGoesOn) {
  FailingDialog dialog;
  ASSERT_TRUE(dialog.Create());
  Click(dialog.hwnd(), IDOK);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].caption, L"Trackscrub");
  EXPECT_NE(messages_[0].text.find(L"disk on fire"), std::wstring::npos);
  EXPECT_NE(messages_[0].type & MB_ICONERROR, 0u);
  EXPECT_TRUE(IsWindow(dialog.hwnd()));
  EXPECT_FALSE(dialog.ended());
  Click(dialog.hwnd(), IDOK);
  EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(DialogLayer, FailingReportIsSwallowedAtTheBoundary) {
  ui::GetSystemCalls().message_box = [](HWND, const std::wstring&, const std::wstring&,
                                        UINT) -> int { throw std::bad_alloc(); };
  FailingDialog dialog;
  ASSERT_TRUE(dialog.Create());
  Click(dialog.hwnd(), IDOK);
  EXPECT_TRUE(IsWindow(dialog.hwnd()));
}

TEST_F(DialogLayer, ModalRunReturnsTheEndValueAndDestroysTheWindow) {
  FailingDialog dialog;
  WhileDialogOpen(L"Dialog", [](HWND hwnd) { SendMessageW(hwnd, WM_CLOSE, 0, 0); },
                  [&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); });
  EXPECT_EQ(dialog.hwnd(), nullptr);
  EXPECT_EQ(dialog.inits, 1);
}

TEST_F(DialogLayer, EndInInitialisationNeverEntersTheLoop) {
  EndsInInit dialog;
  EXPECT_EQ(dialog.DoModal(), 7);
  EXPECT_EQ(dialog.hwnd(), nullptr);
}

TEST_F(DialogLayer, MessageBoxFormatCutsTrailingWhiteSpaceAndSkipsEmptyText) {
  EXPECT_EQ(ui::MessageBoxFormat(nullptr, L"Cap", MB_OK, L"%d items %ls \r\n\t ", 3, L"gone"), IDOK);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, L"3 items gone");
  EXPECT_EQ(messages_[0].caption, L"Cap");
  EXPECT_EQ(ui::MessageBoxFormat(nullptr, L"Cap", MB_OK, L"%ls", L""), 0);
  EXPECT_EQ(messages_.size(), 1u);
}

}  // namespace
