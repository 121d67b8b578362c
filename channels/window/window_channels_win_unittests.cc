// The window channels' handlers in this process: the argument rules and the answers on a
// window never created, and what a real window asks of the shell and the compositor.
#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <flutter/method_result_functions.h>

#include "capsule/capsule_pipe.h"
#include "channels/window/hitregion_channel.h"
#include "channels/window/window_channel.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "runner/win32_procs.h"
#include "tests/support/channel_samples.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

// Every answer a handler gave to one call.
struct Answers {
  int count = 0;
  char kind = '-';  // 's'uccess, 'e'rror "code: message", 'n'ot implemented
  EncodableValue value;
  std::string error;
};

EncodableValue Map(std::initializer_list<std::pair<const char*, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) {
    map[EncodableValue(key)] = value;
  }
  return EncodableValue(map);
}

// What the shell and the compositor were asked, one line per call, windows by name.
std::vector<std::string> seen;
std::map<HWND, std::string> names;

// A real top-level window with the window record but none of the main window's
// channels, hooks or threads.
class BareWindow : public FlutterWindow {
 public:
  BareWindow() : FlutterWindow(flutter::DartProject(L"data")) {}

 protected:
  bool OnCreate() override { return true; }
  void OnDestroy() override {}
  LRESULT MessageHandler(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override {
    return Win32Window::MessageHandler(window, message, wparam, lparam);
  }
};

class WindowChannelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    blur_guard = 0;
    blur_hide = false;
    seen.clear();
    names = {{nullptr, "null"}};
    // Never this test program: started as the capsule it would run the suite again.
    SetCapsuleExecutable(L"C:\\kr_tests_start_no_capsule.exe");
    GetWin32Procs().shell_notify_icon = [](DWORD message, PNOTIFYICONDATAW data) {
      std::wstring tip(data->szTip);
      seen.push_back(std::string(message == NIM_ADD ? "add " : "delete ") + names[data->hWnd] +
                     " size=" + std::to_string(data->cbSize) + " id=" + std::to_string(data->uID) +
                     " flags=" + std::to_string(data->uFlags) +
                     " message=" + std::to_string(data->uCallbackMessage) +
                     " tip=" + std::string(tip.begin(), tip.end()));
      return TRUE;
    };
    GetWin32Procs().dwm_set_window_attribute = [](HWND window, DWORD attribute, LPCVOID value,
                                                  DWORD size) {
      seen.push_back(names[window] + " " + std::to_string(attribute) + "=" +
                     std::to_string(*static_cast<const DWORD*>(value)) +
                     " size=" + std::to_string(size));
      return S_OK;
    };
  }
  void TearDown() override {
    RemoveTrayIcon();
    GetWin32Procs() = saved_procs_;
    window_.Destroy();
    SetCapsuleExecutable(L"");
  }

  // Calls |method| on the window channel, or on the hit-region channel.
  Answers Window(const char* method,
                 std::optional<EncodableValue> arguments = {},
                 bool hit = false) {
    Answers a;
    auto answer = [&a](char kind, EncodableValue value = {}, std::string error = {}) {
      a = {a.count + 1, kind, std::move(value), std::move(error)};
    };
    auto result = std::make_unique<flutter::MethodResultFunctions<EncodableValue>>(
        [&](const EncodableValue* value) { answer('s', value ? *value : EncodableValue()); },
        [&](const std::string& code, const std::string& message, const EncodableValue*) {
          answer('e', {}, code + ": " + message);
        },
        [&] { answer('n'); });
    flutter::MethodCall<EncodableValue> call(
        method, arguments ? std::make_unique<EncodableValue>(*arguments) : nullptr);
    (hit ? HitRegionChannelHandler : WindowChannelHandler)(&window_, call, std::move(result));
    return a;
  }

  const Win32Procs saved_procs_ = GetWin32Procs();
  BareWindow window_;
};

TEST_F(WindowChannelsTest, WithoutAHandleEveryMethodAnswersOnceAndSucceeds) {
  for (const char* method : kr_test::kWindowGeometryMethods) {
    Answers answers = Window(method);
    EXPECT_EQ(answers.count, 1) << method;
    EXPECT_EQ(answers.kind, std::string(method) == "setDesktopBounds" ? 'e' : 's') << method;
    // Arguments of the wrong shape are answered once as well.
    for (const EncodableValue& argument : {EncodableValue("x"), Map({{"w", EncodableValue()}}),
                                           Map({{"opacity", EncodableValue(true)}})}) {
      EXPECT_EQ(Window(method, argument).count, 1) << method;
      EXPECT_EQ(Window("set", argument, true).kind, 's');
    }
  }
  EXPECT_EQ(Window("setDesktopBounds").error, "NO_MONITOR: Cannot get monitor info");
  EncodableValue zero(0.0);
  EXPECT_EQ(Window("getWindowPos").value,
            Map({{"x", zero}, {"y", zero}, {"w", zero}, {"h", zero}}));
  EXPECT_EQ(Window("setWindowSizes").kind, 'n');
  EXPECT_EQ(Window("get", {}, true).kind, 'n');
}

TEST_F(WindowChannelsTest, WrongTypesAreRefusedNamingTheKeyAndChangeNothing) {
  blur_guard = 77;
  const std::pair<std::string, EncodableValue> rows[] = {
      {"setBlurGuard \"ms\"", Map({{"ms", EncodableValue(true)}})},
      {"setBlurHide \"enabled\"", Map({{"enabled", EncodableValue(int32_t{1})}})},
      {"setTrayVisible \"visible\"", Map({{"visible", EncodableValue("yes")}})},
  };
  for (const auto& [method_and_key, arguments] : rows) {
    size_t space = method_and_key.find(' ');
    std::string error = Window(method_and_key.substr(0, space).c_str(), arguments).error;
    EXPECT_EQ(error.rfind("BAD_ARGS: ", 0), 0u) << error;
    EXPECT_NE(error.find(method_and_key.substr(space + 1)), std::string::npos) << error;
  }
  EXPECT_EQ(blur_guard.load(), 77u);
  EXPECT_FALSE(blur_hide.load() || TrayIconVisible());
  EXPECT_TRUE(seen.empty());
}

TEST_F(WindowChannelsTest, RealWindowTellsTheShellAndTheCompositor) {
  ASSERT_TRUE(window_.Create(L"kr_channel_test", {0, 0}, {200, 100}));
  names[window_.GetHandle()] = "main";
  // The icon's messages would collide with the main window's own: it always
  // goes to the tray menu window, made first.
  names[EnsureTrayMenuWindow(&window_)] = "menu";
  seen.clear();
  Window("setTrayVisible");
  HWND menu = std::exchange(window_.tray_menu_window, nullptr);  // the entry stays with it
  Window("setTrayVisible", Map({{"visible", EncodableValue(false)}}));
  window_.tray_menu_window = menu;
  // Backdrop type (38): 2 for material 1, 3 for 2, else 0; a white border (35) from 1 up.
  for (const EncodableValue& material : {EncodableValue(int32_t{1}), EncodableValue(2.0),
                                         EncodableValue(int32_t{5}), EncodableValue(int32_t{-3})}) {
    Window("setMaterial", Map({{"material", material}}));
  }
  Window("setMaterial");
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "add menu size=976 id=1 flags=7 message=1125 tip=Tirvane Kestrune",
                      "delete menu size=976 id=1 flags=0 message=0 tip=", "main 38=2 size=4",
                      "main 35=16777215 size=4", "main 38=3 size=4", "main 35=16777215 size=4",
                      "main 38=0 size=4", "main 35=16777215 size=4", "main 38=0 size=4",
                      "main 38=0 size=4"}));
}

}  // namespace
