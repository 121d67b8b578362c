// The window channels' handlers in this process: the argument rules and the answers on a
// window never created, and what a real window asks of the shell and the compositor.
#include <gtest/gtest.h>

#include <map>

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
    auto result = std::make_unique<flutter::MethodResultFunctions<EncodableValue>>(
        [&](const EncodableValue* value) {
          a = {a.count + 1, 's', value ? *value : a.value, {}};
        },
        [&](const std::string& code, const std::string& message, const EncodableValue*) {
          a = {a.count + 1, 'e', {}, code + ": " + message};
        },
        [&] {
          a = {a.count + 1, 'n', {}, {}};
        });
    flutter::MethodCall<EncodableValue> call(
        method, arguments ? std::make_unique<EncodableValue>(*arguments) : nullptr);
    (hit ? HitRegionChannelHandler : WindowChannelHandler)(&window_, call, std::move(result));
    return a;
  }

  const Win32Procs saved_procs_ = GetWin32Procs();
  BareWindow window_;
};

TEST_F(WindowChannelsTest, WithoutAHandleEveryMethodSucceeds) {
  for (const char* method : kr_test::kWindowGeometryMethods) {
    Answers answers = Window(method);
    EXPECT_EQ(answers.count, 1) << method;
    EXPECT_EQ(answers.kind, std::string(method) == "setDesktopBounds" ? 'e' : 's') << method;
  }
  EXPECT_EQ(Window("setDesktopBounds").error, "NO_MONITOR: Cannot get monitor info");
  EncodableValue zero(0.0);
  EXPECT_EQ(Window("getWindowPos").value,
            Map({{"x", zero}, {"y", zero}, {"w", zero}, {"h", zero}}));
  EXPECT_EQ(Window("setWindowSizes").kind, 'n');
  EXPECT_EQ(Window("get", {}, true).kind, 'n');
}

// Every method, with every codec type as the whole argument and under every key
// the methods read, answers exactly once.
TEST_F(WindowChannelsTest, EveryArgumentTypeIsAnsweredOnce) {
  std::vector<EncodableValue> arguments = kr_test::EveryCodecType();
  for (const EncodableValue& value : kr_test::EveryCodecType()) {
    for (const char* key : {"x", "y", "w", "h", "topOffset", "width", "enabled", "radius", "ms",
                            "onTop", "opacity", "visible", "material", "other"}) {
      arguments.push_back(Map({{key, value}}));
    }
  }
  for (const EncodableValue& argument : arguments) {
    for (const char* method : kr_test::kWindowGeometryMethods) {
      EXPECT_EQ(Window(method, argument).count, 1) << method;
    }
    Answers answers = Window("set", argument, true);
    EXPECT_EQ(answers.count, 1);
    EXPECT_EQ(answers.kind, 's');
  }
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

TEST_F(WindowChannelsTest, BlurGuardTakesAnyNumberAndClearsWithoutAPositiveOne) {
  ULONGLONG before = ::GetTickCount64();
  EXPECT_EQ(Window("setBlurGuard", Map({{"ms", EncodableValue(4000.9)}})).kind, 's');
  EXPECT_GE(blur_guard.load(), before + 4000);
  EXPECT_LE(blur_guard.load(), ::GetTickCount64() + 4000);  // whole milliseconds
  for (const EncodableValue& clearing :
       {Map({{"ms", EncodableValue(int32_t{0})}}), Map({{"ms", EncodableValue(int32_t{-5})}}),
        Map({}), EncodableValue(int32_t{5000})}) {
    blur_guard = 123;
    EXPECT_EQ(Window("setBlurGuard", clearing).kind, 's');
    EXPECT_EQ(blur_guard.load(), 0u);
  }
  Window("setBlurHide");  // on by default
  EXPECT_TRUE(blur_hide.load());
  Window("setBlurHide", Map({{"enabled", EncodableValue(false)}}));
  EXPECT_FALSE(blur_hide.load());
}

TEST_F(WindowChannelsTest, TrayIconIsDeletedFromTheWindowItWasAddedTo) {
  // Only the shell sees these windows.
  HWND first = reinterpret_cast<HWND>(0x1010), second = reinterpret_cast<HWND>(0x1020);
  names[first] = "first";
  names[second] = "second";
  window_.tray_menu_window = first;
  Window("setTrayVisible");
  window_.tray_menu_window = second;  // shown again on another window: the old entry goes
  Window("setTrayVisible", Map({{"visible", EncodableValue(true)}}));
  window_.tray_menu_window = nullptr;
  Window("setTrayVisible", Map({{"visible", EncodableValue(false)}}));
  ReAddTrayIconIfVisible(&window_);  // hidden: stays hidden
  window_.tray_menu_window = first;
  Window("setTrayVisible");
  ReAddTrayIconIfVisible(&window_);  // Explorer restarted
  const std::string add = " size=976 id=1 flags=7 message=1125 tip=Tirvane Kestrune";
  const std::string del = " size=976 id=1 flags=0 message=0 tip=";
  EXPECT_EQ(seen, (std::vector<std::string>{"add first" + add, "delete first" + del,
                                            "add second" + add, "delete second" + del,
                                            "add first" + add, "add first" + add}));
  window_.tray_menu_window = nullptr;
}

TEST_F(WindowChannelsTest, RealWindowTellsTheShellAndTheCompositor) {
  ASSERT_TRUE(window_.Create(L"kr_channel_test", {0, 0}, {200, 100}));
  names[window_.GetHandle()] = "main";
  // The icon's messages would collide with the main window's own: it always
  // goes to the tray menu window, made first.
  names[EnsureTrayMenuWindow(&window_)] = "menu";
  seen.clear();
  Window("setTrayVisible");
  Window("setTrayVisible", Map({{"visible", EncodableValue(false)}}));
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
