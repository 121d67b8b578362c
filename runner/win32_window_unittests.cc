// The window frame in this process, against the real window manager.
#include "runner/win32_window.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_environment.h"

#include <regex>

#include "runner/debug_log.h"
#include "runner/win32_procs.h"
#include "tests/support/log_reader.h"
#include "tests/support/wait.h"

namespace {

using kr_test::LogReader;
using kr_test::WaitUntil;

// Records what the window asks of the compositor.
struct DwmRecord {
  std::vector<std::pair<DWORD, BOOL>> attributes;
  std::vector<DWM_BLURBEHIND> blur_behind;
};
DwmRecord* dwm_record = nullptr;

HRESULT WINAPI RecordAttribute(HWND, DWORD attribute, LPCVOID value, DWORD size) {
  if (dwm_record != nullptr && size == sizeof(BOOL)) {
    dwm_record->attributes.emplace_back(attribute, *static_cast<const BOOL*>(value));
  }
  return S_OK;
}
HRESULT WINAPI RecordBlurBehind(HWND, const DWM_BLURBEHIND* blur_behind) {
  if (dwm_record != nullptr) {
    dwm_record->blur_behind.push_back(*blur_behind);
  }
  return S_OK;
}

class TestWindow : public Win32Window {
 public:
  int on_create_calls = 0;
  int on_destroy_calls = 0;
  using Win32Window::child_content;

 protected:
  bool OnCreate() override {
    ++on_create_calls;
    return true;
  }
  void OnDestroy() override { ++on_destroy_calls; }
};

using kr_test::ScopedEnvironment;

constexpr wchar_t kThemeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

void SetLightTheme(std::optional<DWORD> value) {
  HKEY key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kThemeKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  if (value) {
    ::RegSetValueExW(key, L"AppsUseLightTheme", 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&*value), sizeof(DWORD));
  } else {
    ::RegDeleteValueW(key, L"AppsUseLightTheme");
  }
  ::RegCloseKey(key);
}

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dwm_record = &record_;
    saved_procs_ = GetWin32Procs();
    GetWin32Procs().dwm_set_window_attribute = RecordAttribute;
    GetWin32Procs().dwm_enable_blur_behind_window = RecordBlurBehind;
    SetLightTheme(std::nullopt);
  }
  void TearDown() override {
    window_.reset();
    GetWin32Procs() = saved_procs_;
    dwm_record = nullptr;
    SetLightTheme(std::nullopt);
    PumpMessages();
  }

  HWND CreateWindowAt(int x, int y, int width, int height) {
    window_ = std::make_unique<TestWindow>();
    if (!window_->Create(L"kr_frame_test", Win32Window::Point(x, y),
                         Win32Window::Size(width, height))) {
      return nullptr;
    }
    return window_->GetHandle();
  }

  DwmRecord record_;
  Win32Procs saved_procs_;
  std::unique_ptr<TestWindow> window_;
};

TEST_F(Win32WindowTest, NewWindowIsHiddenTopmostFramelessAndInactive) {
  HWND hwnd = CreateWindowAt(20, 30, 300, 200);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(window_->on_create_calls, 1);
  EXPECT_FALSE(::IsWindowVisible(hwnd));
  EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWL_STYLE) & 0xCF0000, 0);
  EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & 0x300, 0);
  EXPECT_NE(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_NE(::GetActiveWindow(), hwnd);
  RECT rect;
  ::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect.left, 20);
  EXPECT_EQ(rect.top, 30);
  EXPECT_EQ(rect.right, 320);
  EXPECT_EQ(rect.bottom, 230);
  // The client area is the whole window.
  RECT client;
  ::GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
}

TEST_F(Win32WindowTest, EnablesPerPixelTransparencyWithAnEmptyBlurRegion) {
  ASSERT_NE(CreateWindowAt(0, 0, 100, 100), nullptr);
  ASSERT_EQ(record_.blur_behind.size(), 1u);
  EXPECT_EQ(record_.blur_behind[0].dwFlags, static_cast<DWORD>(DWM_BB_ENABLE | DWM_BB_BLURREGION));
  EXPECT_TRUE(record_.blur_behind[0].fEnable);
  EXPECT_NE(record_.blur_behind[0].hRgnBlur, nullptr);
  EXPECT_FALSE(record_.blur_behind[0].fTransitionOnMaximized);
}

TEST_F(Win32WindowTest, CreateAgainReplacesTheWindow) {
  HWND first = CreateWindowAt(0, 0, 100, 100);
  ASSERT_NE(first, nullptr);
  TestWindow* object = window_.get();
  ASSERT_TRUE(
      object->Create(L"kr_frame_test", Win32Window::Point(0, 0), Win32Window::Size(50, 50)));
  EXPECT_FALSE(::IsWindow(first));
  EXPECT_TRUE(::IsWindow(object->GetHandle()));
  EXPECT_EQ(object->on_create_calls, 2);
  EXPECT_GE(object->on_destroy_calls, 2);  // before each creation, and when the first died
}

TEST_F(Win32WindowTest, ChildContentFillsTheClientAreaAndFollowsResizes) {
  HWND hwnd = CreateWindowAt(0, 0, 400, 300);
  ASSERT_NE(hwnd, nullptr);
  HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hwnd,
                                 nullptr, nullptr, nullptr);
  window_->SetChildContent(child);
  EXPECT_EQ(::GetParent(child), hwnd);
  RECT rect;
  ::GetClientRect(child, &rect);
  EXPECT_EQ(rect.right, 400);
  EXPECT_EQ(rect.bottom, 300);
  ::SetWindowPos(hwnd, nullptr, 0, 0, 500, 260, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  ::GetClientRect(child, &rect);
  EXPECT_EQ(rect.right, 500);
  EXPECT_EQ(rect.bottom, 260);
}

TEST_F(Win32WindowTest, DpiChangeAppliesTheSuggestedRectangleExactly) {
  HWND hwnd = CreateWindowAt(0, 0, 400, 300);
  ASSERT_NE(hwnd, nullptr);
  RECT suggested{137, 71, 137 + 733, 71 + 419};
  ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  RECT rect;
  ::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect.left, suggested.left);
  EXPECT_EQ(rect.top, suggested.top);
  EXPECT_EQ(rect.right, suggested.right);
  EXPECT_EQ(rect.bottom, suggested.bottom);
  EXPECT_NE(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);  // z-order kept
}

TEST_F(Win32WindowTest, ThemeFollowsAppsUseLightTheme) {
  SetLightTheme(0);
  HWND hwnd = CreateWindowAt(0, 0, 100, 100);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_EQ(record_.attributes.size(), 1u);
  EXPECT_EQ(record_.attributes[0], std::make_pair(DWORD{20}, TRUE));

  SetLightTheme(1);
  ::SendMessageW(hwnd, WM_DWMCOLORIZATIONCOLORCHANGED, 0, 0);
  ASSERT_EQ(record_.attributes.size(), 2u);
  EXPECT_EQ(record_.attributes[1], std::make_pair(DWORD{20}, FALSE));

  // Without the value the window keeps what it has.
  SetLightTheme(std::nullopt);
  ::SendMessageW(hwnd, WM_DWMCOLORIZATIONCOLORCHANGED, 0, 0);
  EXPECT_EQ(record_.attributes.size(), 2u);
}

struct ClosePolicyCase {
  const wchar_t* value;  // null: unset
  bool hides;
};

TEST_F(Win32WindowTest, CloseHidesOnlyWhenCloseToTrayIsOn) {
  const ClosePolicyCase cases[] = {{L"1", true},    {L"t", true},  {L"T", true}, {L"true", true},
                                   {L"yes", false}, {L"0", false}, {L"", false}, {nullptr, false}};
  for (const ClosePolicyCase& c : cases) {
    SCOPED_TRACE(c.value ? c.value : L"(unset)");
    ScopedEnvironment policy(L"KR_CLOSE_TO_TRAY", c.value);
    HWND hwnd = CreateWindowAt(0, 0, 100, 100);
    ASSERT_NE(hwnd, nullptr);
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    if (c.hides) {
      EXPECT_TRUE(::IsWindow(hwnd));
      EXPECT_FALSE(::IsWindowVisible(hwnd));
    } else {
      EXPECT_FALSE(::IsWindow(hwnd));
      EXPECT_EQ(window_->GetHandle(), nullptr);
    }
    window_.reset();
  }
}

TEST_F(Win32WindowTest, MinimiseHidesOnlyWhenMinimiseToTrayIsOn) {
  const ClosePolicyCase cases[] = {{L"1", true},    {L"t", true},  {L"T", true},
                                   {L"yes", false}, {L"0", false}, {nullptr, false}};
  for (const ClosePolicyCase& c : cases) {
    SCOPED_TRACE(c.value ? c.value : L"(unset)");
    ScopedEnvironment policy(L"KR_MINIMIZE_TO_TRAY", c.value);
    HWND hwnd = CreateWindowAt(0, 0, 200, 100);
    ASSERT_NE(hwnd, nullptr);
    HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hwnd,
                                   nullptr, nullptr, nullptr);
    window_->SetChildContent(child);
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ::MoveWindow(child, 0, 0, 10, 10, FALSE);
    LogReader trace(WindowSizeTracePath());
    ::SendMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    EXPECT_EQ(::IsWindowVisible(hwnd) == FALSE, c.hides);
    EXPECT_EQ(trace.NewLines().size(), 1u);  // traced either way
    RECT rect;
    ::GetClientRect(child, &rect);
    // A hiding minimise leaves the child alone; otherwise it is fitted again.
    EXPECT_EQ(rect.right, c.hides ? 10 : 200);
    window_.reset();
  }
}

TEST_F(Win32WindowTest, SizeTraceLineHasTheWindowRectangle) {
  HWND hwnd = CreateWindowAt(0, 0, 200, 100);
  ASSERT_NE(hwnd, nullptr);
  LogReader trace(WindowSizeTracePath());
  ::SetWindowPos(hwnd, nullptr, 33, 44, 321, 123, SWP_NOZORDER | SWP_NOACTIVATE);
  std::vector<std::string> lines = trace.NewLines();
  ASSERT_FALSE(lines.empty());
  std::smatch match;
  std::regex format(R"(^(\d+) WM_SIZE (\d+)x(\d+) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+)$)");
  ASSERT_TRUE(std::regex_match(lines.back(), match, format)) << lines.back();
  EXPECT_EQ(match[2], "321");
  EXPECT_EQ(match[3], "123");
  EXPECT_EQ(match[4], "33");
  EXPECT_EQ(match[5], "44");
  EXPECT_EQ(match[6], "354");
  EXPECT_EQ(match[7], "167");
}

TEST_F(Win32WindowTest, SizeTraceCanBeDeletedWhileRunning) {
  HWND hwnd = CreateWindowAt(0, 0, 200, 100);
  ASSERT_NE(hwnd, nullptr);
  ::SetWindowPos(hwnd, nullptr, 0, 0, 210, 100, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  ASSERT_TRUE(::DeleteFileW(WindowSizeTracePath()));
  ::SetWindowPos(hwnd, nullptr, 0, 0, 220, 100, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  std::string content = kr_test::ReadWholeFile(WindowSizeTracePath());
  EXPECT_NE(content.find("WM_SIZE 220x100"), std::string::npos);
  EXPECT_EQ(content.find("WM_SIZE 210x100"), std::string::npos);
}

TEST_F(Win32WindowTest, DestroyPostsQuitOnlyWhenAsked) {
  HWND hwnd = CreateWindowAt(0, 0, 100, 100);
  ASSERT_NE(hwnd, nullptr);
  window_->SetQuitOnClose(true);
  ::DestroyWindow(hwnd);
  MSG msg;
  EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

  hwnd = CreateWindowAt(0, 0, 100, 100);
  ASSERT_NE(hwnd, nullptr);
  ::DestroyWindow(hwnd);
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Win32WindowTest, ClassIsUnregisteredWithTheLastWindowObject) {
  ASSERT_NE(CreateWindowAt(0, 0, 100, 100), nullptr);
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  EXPECT_TRUE(
      ::GetClassInfoExW(::GetModuleHandleW(nullptr), L"FLUTTER_RUNNER_WIN32_WINDOW", &info));
  window_.reset();
  EXPECT_FALSE(
      ::GetClassInfoExW(::GetModuleHandleW(nullptr), L"FLUTTER_RUNNER_WIN32_WINDOW", &info));
  EXPECT_EQ(Win32Window::ActiveWindowCount(), 0);
}

}  // namespace
