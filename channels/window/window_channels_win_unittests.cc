// The window channels' handlers in this process, on a window that was never
// created: the paths without a window handle, the argument rules and the
// answers; the integration tests cover the real window.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "channels/window/hitregion_channel.h"
#include "channels/window/window_channel.h"
#include "embedder/dart_project.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "tests/support/channel_samples.h"
#include "tray/tray_icon.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using kr_test::EveryCodecType;
using kr_test::kWindowGeometryMethods;

// Every answer a handler gave to one call.
struct Answers {
  int count = 0;
  char kind = '-';  // 's'uccess, 'e'rror, 'n'ot implemented
  EncodableValue value;
  std::string code;
  std::string message;
};

using Handler = void (*)(FlutterWindow*,
                         const flutter::MethodCall<EncodableValue>&,
                         std::unique_ptr<flutter::MethodResult<EncodableValue>>);

Answers Call(Handler handler,
             FlutterWindow* window,
             const std::string& method,
             const EncodableValue* arguments) {
  Answers answers;
  auto result = std::make_unique<flutter::MethodResultFunctions<EncodableValue>>(
      [&](const EncodableValue* value) {
        ++answers.count;
        answers.kind = 's';
        answers.value = value ? *value : EncodableValue();
      },
      [&](const std::string& code, const std::string& message, const EncodableValue*) {
        ++answers.count;
        answers.kind = 'e';
        answers.code = code;
        answers.message = message;
      },
      [&] {
        ++answers.count;
        answers.kind = 'n';
      });
  flutter::MethodCall<EncodableValue> call(
      method, arguments ? std::make_unique<EncodableValue>(*arguments) : nullptr);
  handler(window, call, std::move(result));
  return answers;
}

EncodableValue Map(std::initializer_list<std::pair<const char*, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) {
    map[EncodableValue(key)] = value;
  }
  return EncodableValue(map);
}

const char* const kArgumentKeys[] = {"x",       "y",       "w",        "h",    "topOffset",
                                     "width",   "enabled", "radius",   "ms",   "onTop",
                                     "opacity", "visible", "material", "other"};

class WindowChannelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    blur_guard = 0;
    blur_hide = false;
    keep_window_size = false;
  }
  void TearDown() override { RemoveTrayIcon(); }

  Answers Window(const std::string& method, const EncodableValue* arguments = nullptr) {
    return Call(WindowChannelHandler, &window_, method, arguments);
  }
  Answers Window(const std::string& method, const EncodableValue& arguments) {
    return Window(method, &arguments);
  }
  Answers HitRegion(const std::string& method, const EncodableValue& arguments) {
    return Call(HitRegionChannelHandler, &window_, method, &arguments);
  }

  FlutterWindow window_{flutter::DartProject(L"data")};
};

TEST_F(WindowChannelsTest, WithoutAHandleEveryMethodSucceeds) {
  for (const char* method : kWindowGeometryMethods) {
    Answers answers = Window(method);
    EXPECT_EQ(answers.count, 1) << method;
    if (std::string(method) == "setDesktopBounds") {
      EXPECT_EQ(answers.kind, 'e');
      EXPECT_EQ(answers.code, "NO_MONITOR");
      EXPECT_EQ(answers.message, "Cannot get monitor info");
    } else {
      EXPECT_EQ(answers.kind, 's') << method;
    }
  }
}

TEST_F(WindowChannelsTest, WindowPosIsZeroWithoutAHandle) {
  Answers answers = Window("getWindowPos");
  EXPECT_EQ(answers.value, Map({{"x", EncodableValue(0.0)},
                                {"y", EncodableValue(0.0)},
                                {"w", EncodableValue(0.0)},
                                {"h", EncodableValue(0.0)}}));
}

TEST_F(WindowChannelsTest, CursorPosIsInPhysicalPixels) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  Answers answers = Window("getCursorPos");
  EXPECT_EQ(answers.value, Map({{"x", EncodableValue(static_cast<double>(cursor.x))},
                                {"y", EncodableValue(static_cast<double>(cursor.y))}}));
}

TEST_F(WindowChannelsTest, UnknownMethodIsNotImplemented) {
  EXPECT_EQ(Window("setWindowSizes").kind, 'n');
  EXPECT_EQ(HitRegion("get", EncodableValue()).kind, 'n');
}

// Every method, with every codec type as the whole argument and under every key
// the methods read, answers exactly once.
TEST_F(WindowChannelsTest, EveryArgumentTypeIsAnsweredOnce) {
  std::vector<EncodableValue> values = EveryCodecType();
  std::vector<EncodableValue> arguments = values;
  for (const EncodableValue& value : values) {
    for (const char* key : kArgumentKeys) {
      arguments.push_back(Map({{key, value}}));
    }
  }
  for (const char* method : kWindowGeometryMethods) {
    for (const EncodableValue& argument : arguments) {
      EXPECT_EQ(Window(method, argument).count, 1) << method;
    }
  }
  for (const EncodableValue& argument : arguments) {
    EXPECT_EQ(HitRegion("set", argument).count, 1);
    EXPECT_EQ(HitRegion("set", argument).kind, 's');
  }
}

TEST_F(WindowChannelsTest, WrongTypesAreRefusedNamingTheKey) {
  Answers answers =
      Window("setWindowSize", Map({{"w", EncodableValue(400.0)}, {"h", EncodableValue("300")}}));
  EXPECT_EQ(answers.kind, 'e');
  EXPECT_EQ(answers.code, "BAD_ARGS");
  EXPECT_NE(answers.message.find("\"h\""), std::string::npos);

  blur_guard = 77;
  answers = Window("setBlurGuard", Map({{"ms", EncodableValue(true)}}));
  EXPECT_EQ(answers.code, "BAD_ARGS");
  EXPECT_NE(answers.message.find("\"ms\""), std::string::npos);
  EXPECT_EQ(blur_guard.load(), 77u);

  answers = Window("setBlurHide", Map({{"enabled", EncodableValue(int32_t{1})}}));
  EXPECT_EQ(answers.code, "BAD_ARGS");
  EXPECT_FALSE(blur_hide.load());

  answers = Window("setTrayVisible", Map({{"visible", EncodableValue("yes")}}));
  EXPECT_EQ(answers.code, "BAD_ARGS");
  EXPECT_FALSE(TrayIconVisible());
}

TEST_F(WindowChannelsTest, NumbersOfAnyWidthAreAccepted) {
  Answers answers = Window("setBlurGuard", Map({{"ms", EncodableValue(int64_t{4000})}}));
  EXPECT_EQ(answers.kind, 's');
  EXPECT_GT(blur_guard.load(), ::GetTickCount64());
  answers = Window("setBlurGuard", Map({{"ms", EncodableValue(4000.9)}}));
  EXPECT_EQ(answers.kind, 's');
  EXPECT_LE(blur_guard.load(), ::GetTickCount64() + 4000);
  EXPECT_EQ(Window("setWindowSize",
                   Map({{"w", EncodableValue(int32_t{400})}, {"h", EncodableValue(int64_t{300})}}))
                .kind,
            's');
}

TEST_F(WindowChannelsTest, BlurGuardWithoutAPositiveValueClears) {
  ULONGLONG before = ::GetTickCount64();
  Window("setBlurGuard", Map({{"ms", EncodableValue(int32_t{5000})}}));
  EXPECT_GE(blur_guard.load(), before + 5000);
  EXPECT_LE(blur_guard.load(), ::GetTickCount64() + 5000);
  for (const EncodableValue& clearing :
       {Map({{"ms", EncodableValue(int32_t{0})}}), Map({{"ms", EncodableValue(int32_t{-5})}}),
        Map({}), EncodableValue(int32_t{5000})}) {
    blur_guard = 123;
    EXPECT_EQ(Window("setBlurGuard", clearing).kind, 's');
    EXPECT_EQ(blur_guard.load(), 0u);
  }
  blur_guard = 123;
  Window("setBlurGuard");
  EXPECT_EQ(blur_guard.load(), 0u);
}

TEST_F(WindowChannelsTest, BlurHideDefaultsToOn) {
  Window("setBlurHide");
  EXPECT_TRUE(blur_hide.load());
  Window("setBlurHide", Map({{"enabled", EncodableValue(false)}}));
  EXPECT_FALSE(blur_hide.load());
  Window("setBlurHide", EncodableValue("not a map"));
  EXPECT_TRUE(blur_hide.load());
}

TEST_F(WindowChannelsTest, SizesNeedAHandleToBeKept) {
  Window("setWindowSize", Map({{"w", EncodableValue(400.0)}, {"h", EncodableValue(300.0)}}));
  Window("setWindowBounds", Map({{"w", EncodableValue(400.0)}, {"h", EncodableValue(300.0)}}));
  EXPECT_FALSE(keep_window_size.load());
}

TEST_F(WindowChannelsTest, HitRegionRoundsEachEdge) {
  EXPECT_EQ(HitRegion("set", Map({{"x", EncodableValue(10.4)},
                                  {"y", EncodableValue(0.0)},
                                  {"w", EncodableValue(100.5)},
                                  {"h", EncodableValue(40.0)}}))
                .kind,
            's');
  EXPECT_EQ(window_.hit_rect.left, 10);
  EXPECT_EQ(window_.hit_rect.top, 0);
  EXPECT_EQ(window_.hit_rect.right, 111);
  EXPECT_EQ(window_.hit_rect.bottom, 40);
}

TEST_F(WindowChannelsTest, HitRegionIgnoresTinySizes) {
  HitRegion("set", Map({{"x", EncodableValue(5.0)},
                        {"y", EncodableValue(6.0)},
                        {"w", EncodableValue(20.0)},
                        {"h", EncodableValue(30.0)}}));
  for (const EncodableValue& tiny :
       {Map({{"x", EncodableValue(0.0)}, {"w", EncodableValue(1.0)}, {"h", EncodableValue(40.0)}}),
        Map({{"w", EncodableValue(40.0)}, {"h", EncodableValue(int32_t{1})}}), Map({}),
        EncodableValue(), EncodableValue(EncodableList{EncodableValue(50.0)})}) {
    EXPECT_EQ(HitRegion("set", tiny).kind, 's');
    EXPECT_EQ(window_.hit_rect.left, 5);
    EXPECT_EQ(window_.hit_rect.top, 6);
    EXPECT_EQ(window_.hit_rect.right, 25);
    EXPECT_EQ(window_.hit_rect.bottom, 36);
  }
}

TEST_F(WindowChannelsTest, HitRegionTakesIntegersAsTheirValues) {
  HitRegion("set", Map({{"x", EncodableValue(int32_t{10})},
                        {"y", EncodableValue(int64_t{2})},
                        {"w", EncodableValue(int32_t{100})},
                        {"h", EncodableValue(int32_t{40})}}));
  RECT from_integers = window_.hit_rect;
  window_.hit_rect = RECT{};
  HitRegion("set", Map({{"x", EncodableValue(10.0)},
                        {"y", EncodableValue(2.0)},
                        {"w", EncodableValue(100.0)},
                        {"h", EncodableValue(40.0)}}));
  EXPECT_TRUE(::EqualRect(&from_integers, &window_.hit_rect));
  EXPECT_EQ(from_integers.right, 110);
}

TEST_F(WindowChannelsTest, HitRegionReadsOtherTypesAsZero) {
  HitRegion("set", Map({{"x", EncodableValue("10")},
                        {"y", EncodableValue(true)},
                        {"w", EncodableValue(50.0)},
                        {"h", EncodableValue(60.0)}}));
  EXPECT_EQ(window_.hit_rect.left, 0);
  EXPECT_EQ(window_.hit_rect.top, 0);
  EXPECT_EQ(window_.hit_rect.right, 50);
  EXPECT_EQ(window_.hit_rect.bottom, 60);
}

TEST_F(WindowChannelsTest, TrayIconIsAttachedToTheMenuWindowNeverTheMain) {
  Window("setTrayVisible");
  EXPECT_TRUE(TrayIconVisible());
  ASSERT_NE(window_.tray_menu_window, nullptr);
  EXPECT_EQ(TrayIconOwner(), window_.tray_menu_window);
  ReAddTrayIconIfVisible(&window_);
  EXPECT_EQ(TrayIconOwner(), window_.tray_menu_window);

  Window("setTrayVisible", Map({{"visible", EncodableValue(false)}}));
  EXPECT_FALSE(TrayIconVisible());
  ReAddTrayIconIfVisible(&window_);
  EXPECT_FALSE(TrayIconVisible());
}

}  // namespace
