// The dialog layer: modal and modeless runs, and failures kept inside the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "res/resource.h"
#include "ui/dialog.h"
#include "ui/resizing_dialog.h"
#include "ui/static_hyperlink.h"
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

namespace {

// The options template with anchors of its own: one control that does not exist,
// one registered with flags 0, and the OK button moving with both edges.
class AnchoredDialog : public ui::CResizingDialog {
 public:
  AnchoredDialog() : CResizingDialog(IDD_OPTIONS, nullptr) {
    AddAnchor(4242, ui::ANCHOR_MOVE_X);
    AddAnchor(IDCANCEL, 0);
    AddAnchor(IDOK, ui::ANCHOR_MOVE_X | ui::ANCHOR_MOVE_Y);
  }
};

TEST_F(DialogLayer, MissingAndFlaglessAnchorsAreSkipped) {
  AnchoredDialog dialog;
  ASSERT_TRUE(dialog.Create());
  const RECT ok = ControlRect(dialog.hwnd(), IDOK);
  const RECT cancel = ControlRect(dialog.hwnd(), IDCANCEL);
  RECT window = {};
  GetWindowRect(dialog.hwnd(), &window);
  SetWindowPos(dialog.hwnd(), nullptr, 0, 0, window.right - window.left + 30,
               window.bottom - window.top + 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT ok_moved = ok;
  OffsetRect(&ok_moved, 30, 10);
  const RECT ok_now = ControlRect(dialog.hwnd(), IDOK);
  const RECT cancel_now = ControlRect(dialog.hwnd(), IDCANCEL);
  EXPECT_TRUE(EqualRect(&ok_now, &ok_moved));
  EXPECT_TRUE(EqualRect(&cancel_now, &cancel));
  dialog.Destroy();
  EXPECT_EQ(dialog.minimum_track_size().cx, 0);
}

TEST_F(DialogLayer, LinkShowsTheHandCursor) {
  ui::Dialog dialog(IDD_MAIN, nullptr);
  ASSERT_TRUE(dialog.Create());
  ui::CStaticHyperlink link;
  link.Attach(dialog.Item(IDC_UPDATE_LINK));
  EXPECT_EQ(SendMessageW(link.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(link.hwnd()),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

}  // namespace
