// The window frame in this process, against the real window manager.
#include "runner/win32_window.h"

#include <gtest/gtest.h>

#include "runner/debug_log.h"
#include "runner/win32_procs.h"
#include "tests/support/log_reader.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/main_host_test.h"

namespace {

// What the window asked of the compositor: (attribute, BOOL value) and blur-behind requests.
std::vector<std::pair<DWORD, BOOL>> attributes;
std::vector<DWM_BLURBEHIND> blur_behind;

class TestWindow : public Win32Window {
 public:
  int on_create_calls = 0;
  int on_destroy_calls = 0;

 protected:
  bool OnCreate() override { return ++on_create_calls > 0; }
  void OnDestroy() override { ++on_destroy_calls; }
};

void SetLightTheme(std::optional<DWORD> value) {
  const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  value ? ::RegSetKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme", REG_DWORD, &*value, 4)
        : ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
}

std::string Client(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  return kr_test::Describe(rect);
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    attributes.clear();
    blur_behind.clear();
    GetWin32Procs().dwm_set_window_attribute = [](HWND, DWORD attribute, LPCVOID value, DWORD) {
      attributes.emplace_back(attribute, *static_cast<const BOOL*>(value));
      return S_OK;
    };
    GetWin32Procs().dwm_enable_blur_behind_window = [](HWND, const DWM_BLURBEHIND* request) {
      blur_behind.push_back(*request);
      return S_OK;
    };
  }
  void TearDown() override {
    window_.reset();
    GetWin32Procs() = saved_procs_;
    SetLightTheme(std::nullopt);
  }

  HWND CreateWindowAt(int x, int y, int width, int height) {
    window_ = std::make_unique<TestWindow>();
    bool created = window_->Create(L"kr_frame_test", {x, y}, {width, height});
    return created ? window_->GetHandle() : nullptr;
  }

  const Win32Procs saved_procs_ = GetWin32Procs();
  std::unique_ptr<TestWindow> window_;
};

// Style, size and the view filling the window are seen with the real executable.
TEST_F(Win32WindowTest, AlphaThemeDpiChangeAndCreatingAgain) {
  SetLightTheme(0);
  HWND hwnd = CreateWindowAt(20, 30, 300, 200);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_EQ(blur_behind.size(), 1u);  // an empty blur region: the compositor honours alpha
  EXPECT_EQ(blur_behind[0].dwFlags, 3u);
  EXPECT_TRUE(blur_behind[0].fEnable);
  EXPECT_NE(blur_behind[0].hRgnBlur, nullptr);
  SetLightTheme(1);  // the theme follows AppsUseLightTheme
  ::SendMessageW(hwnd, WM_DWMCOLORIZATIONCOLORCHANGED, 0, 0);
  SetLightTheme(std::nullopt);  // without the value the window keeps what it has
  ::SendMessageW(hwnd, WM_DWMCOLORIZATIONCOLORCHANGED, 0, 0);
  EXPECT_EQ(attributes, (std::vector<std::pair<DWORD, BOOL>>{{20, TRUE}, {20, FALSE}}));
  RECT suggested{137, 71, 870, 490};
  ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(kr_test::Describe(kr_test::WindowRect(hwnd)), "(137,71,870,490)");
  {
    ScopedOwnPlacement placing;  // the host sized it for the new monitor already
    RECT rescaled{0, 0, 50, 50};
    ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&rescaled));
  }
  EXPECT_EQ(kr_test::Describe(kr_test::WindowRect(hwnd)), "(137,71,870,490)");
  // The view of a hidden window is never focused: that takes the user's keyboard.
  HWND view = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hwnd,
                                nullptr, nullptr, nullptr);
  window_->SetChildContent(view);
  EXPECT_NE(::GetFocus(), view);

  // Created again: the first window goes, OnDestroy before the new one and for the old.
  ASSERT_TRUE(window_->Create(L"kr_frame_test", {0, 0}, {50, 50}));
  EXPECT_FALSE(::IsWindow(hwnd));
  EXPECT_EQ(window_->on_create_calls, 2);
  EXPECT_GE(window_->on_destroy_calls, 2);
}

TEST_F(Win32WindowTest, CloseAndMinimiseHideOnlyWhenTheirSwitchIsOn) {
  const struct {
    const wchar_t* variable;
    const wchar_t* value;  // null: unset
    bool hides;
  } rows[] = {
      {L"KR_CLOSE_TO_TRAY", L"T", true},    {L"KR_CLOSE_TO_TRAY", L"true", true},
      {L"KR_CLOSE_TO_TRAY", L" 1", false},  {L"KR_CLOSE_TO_TRAY", nullptr, false},
      {L"KR_MINIMIZE_TO_TRAY", L"1", true}, {L"KR_MINIMIZE_TO_TRAY", L"yes", false},
  };
  for (const auto& row : rows) {
    bool close = row.variable[3] == L'C';
    SCOPED_TRACE(std::wstring(row.variable) + L"=" + (row.value ? row.value : L"(unset)"));
    kr_test::ScopedEnvironment policy(row.variable, row.value);
    HWND hwnd = CreateWindowAt(0, 0, 200, 100);
    ASSERT_NE(hwnd, nullptr);
    HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hwnd,
                                   nullptr, nullptr, nullptr);
    window_->SetChildContent(child);
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ::MoveWindow(child, 0, 0, 10, 10, FALSE);
    kr_test::LogReader trace(WindowSizeTracePath());
    ::SendMessageW(hwnd, close ? WM_CLOSE : WM_SIZE, close ? 0 : SIZE_MINIMIZED, 0);
    EXPECT_EQ(::IsWindow(hwnd) != FALSE, close ? row.hides : true);
    EXPECT_EQ(::IsWindowVisible(hwnd) == FALSE, close || row.hides);
    if (!close) {
      EXPECT_EQ(trace.NewLines().size(), 1u);  // traced either way
      // A hiding minimise leaves the child alone; otherwise it is fitted again.
      EXPECT_EQ(Client(child), row.hides ? "(0,0,10,10)" : "(0,0,200,100)");
    }
    window_.reset();
  }
}

}  // namespace
