#include "ui_support.h"

#include <commctrl.h>

#include <vector>

#include "app/settings.h"
#include "platform/platform.h"
#include "ui/app_profile.h"
#include "ui/system_calls.h"
#include "update/version_reply.h"

namespace {

class CommonControls : public testing::Environment {
 public:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
  }
};
testing::Environment* const kCommonControls =
    testing::AddGlobalTestEnvironment(new CommonControls);

std::string IERecord(const std::string& name, const std::string& site) {
  return name + "\nvalue-" + name + "\n" + site + "\n1536\n2015032320\n30912156\n" +
         "3477790720\n30405223\n*\n";
}

}  // namespace

UiTest::UiTest() {
  ui::SystemCalls& calls = ui::GetSystemCalls();
  calls.message_box = [this](HWND, const std::wstring& text, const std::wstring& caption,
                             UINT type) {
    messages_.push_back({text, caption, type});
    if (answers_.empty()) return IDOK;
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  };
  calls.notify_icon = [this](DWORD message, NOTIFYICONDATAW* data) {
    notify_calls_.emplace_back(message, *data);
    return notify_result_;
  };
  calls.shell_open = [this](const wchar_t* verb, const std::wstring& file) {
    opened_.push_back({verb == nullptr, verb != nullptr ? verb : L"", file});
  };
  CtrackscrubApp::SetRegString(kValueFilter, L"*.tracker.com\n*.ads.net\n");
  // No window of these tests asks the update server unless a test wants it to.
  ui::WriteAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck,
                         VersionCheckMinute(platform::CurrentCalendarTime()));
}

UiTest::~UiTest() { ui::ResetSystemCalls(); }

std::string UiTest::CookiePath(const std::string& file) const {
  return std::string(TempProfile::kCookies) + "/" + file;
}

void UiTest::WriteIECookies(const std::string& file, int count, const std::string& site) {
  std::string content;
  for (int i = 0; i < count; ++i) content += IERecord("c" + std::to_string(i), site);
  profile_.Write(CookiePath(file), content);
}

void UiTest::CreateRunKey() {
  platform::RegKey key;
  ASSERT_EQ(platform::RegKey::Create(L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                     platform::RegAccess::kWrite, &key),
            platform::kErrorSuccess);
}

void UiTest::SetLastCleanSecondsAgo(long long seconds) {
  const uint64_t when = platform::GetSystemTimeAsFileTime() -
                        static_cast<uint64_t>(seconds) * 10000000ull;
  CtrackscrubApp::SetRegDWORD(kValueLastCleanHigh, static_cast<uint32_t>(when >> 32));
  CtrackscrubApp::SetRegDWORD(kValueLastCleanLow, static_cast<uint32_t>(when));
}

uint64_t UiTest::LastClean() const {
  return static_cast<uint64_t>(CtrackscrubApp::GetRegDWORD(kValueLastCleanHigh, 0)) << 32 |
         CtrackscrubApp::GetRegDWORD(kValueLastCleanLow, 0);
}

bool ReadRawValue(const std::wstring& key_name, const std::wstring& name, uint32_t* type,
                  std::wstring* text, uint32_t* dword) {
  platform::RegKey key;
  if (platform::RegKey::Open(key_name, platform::RegAccess::kRead, &key) != platform::kErrorSuccess) {
    return false;
  }
  uint32_t size = 0;
  if (key.QueryValue(name, type, nullptr, &size) != platform::kErrorSuccess) return false;
  std::vector<uint8_t> data(size + 2, 0);
  if (key.QueryValue(name, type, data.data(), &size) != platform::kErrorSuccess) return false;
  if (text != nullptr) {
    text->assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!text->empty() && text->back() == L'\0') text->pop_back();
  }
  if (dword != nullptr && size == 4) *dword = *reinterpret_cast<const uint32_t*>(data.data());
  return true;
}

void Click(HWND dialog, int id) {
  const HWND button = GetDlgItem(dialog, id);
  ASSERT_NE(button, nullptr) << "no control " << id;
  SetActiveWindow(dialog);
  SendMessageW(button, BM_CLICK, 0, 0);
}

void SelectComboEntry(HWND dialog, int id, int index) {
  const HWND combo = GetDlgItem(dialog, id);
  ASSERT_NE(combo, nullptr);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<size_t>(got > 0 ? got : 0));
}

std::wstring ListViewCell(HWND list, int row, int column) {
  wchar_t text[512] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

int ListViewRows(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

RECT ControlRect(HWND dialog, int id) {
  RECT rect = {};
  GetWindowRect(GetDlgItem(dialog, id), &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int IconSide(HICON icon) {
  ICONINFO info = {};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap = {};
  GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

RECT DialogUnits(HWND dialog, int x, int y, int cx, int cy) {
  // The dialog manager converts the position and the size each on its own.
  RECT units = {x, y, cx, cy};
  MapDialogRect(dialog, &units);
  return {units.left, units.top, units.left + units.right, units.top + units.bottom};
}

namespace {

struct DialogWatch {
  std::wstring caption;
  const std::function<void(HWND)>* drive = nullptr;
  bool seen = false;
  UINT_PTR timer = 0;
};
DialogWatch* g_watch = nullptr;

BOOL CALLBACK FindCaption(HWND hwnd, LPARAM found) {
  if (IsWindowVisible(hwnd) && WindowText(hwnd) == g_watch->caption) {
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK WatchTick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_watch == nullptr || g_watch->seen) return;
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindCaption, reinterpret_cast<LPARAM>(&found));
  if (found == nullptr) return;
  g_watch->seen = true;
  KillTimer(nullptr, g_watch->timer);
  (*g_watch->drive)(found);
}

}  // namespace

void WhileDialogOpen(const std::wstring& caption, const std::function<void(HWND)>& drive,
                     const std::function<void()>& action) {
  DialogWatch watch;
  watch.caption = caption;
  watch.drive = &drive;
  g_watch = &watch;
  watch.timer = SetTimer(nullptr, 0, 20, WatchTick);
  action();
  if (!watch.seen) KillTimer(nullptr, watch.timer);
  g_watch = nullptr;
  EXPECT_TRUE(watch.seen) << "no dialog \"" << platform::Utf8FromWide(caption) << "\" appeared";
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}
