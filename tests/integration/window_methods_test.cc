// The geometry and appearance methods of "kestrune/window" and the hit-region
// channel against the host's real window, with this test as the interface.
#include <gtest/gtest.h>

#include <algorithm>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/channel_samples.h"
#include "tests/support/helper_window.h"
#include "tests/support/main_host_test.h"
#include "tests/support/wait.h"
#include "tests/support/window_rects.h"

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

EncodableValue Map(std::initializer_list<std::pair<const char*, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) {
    map[EncodableValue(key)] = value;
  }
  return EncodableValue(map);
}

EncodableValue Rect(double x, double y, double w, double h) {
  return Map({{"x", EncodableValue(x)},
              {"y", EncodableValue(y)},
              {"w", EncodableValue(w)},
              {"h", EncodableValue(h)}});
}

LONG ExStyle(HWND window) {
  return ::GetWindowLongW(window, GWL_EXSTYLE);
}

// The bounding box of the window's region, or nothing without one.
std::optional<RECT> RegionBox(HWND window) {
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  std::optional<RECT> box;
  if (::GetWindowRgn(window, region) != ERROR) {
    RECT rect{};
    ::GetRgnBox(region, &rect);
    box = rect;
  }
  ::DeleteObject(region);
  return box;
}

std::optional<BYTE> LayeredAlpha(HWND window) {
  BYTE alpha = 0;
  DWORD flags = 0;
  if (!::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) {
    return std::nullopt;
  }
  return alpha;
}

// The hit-test answer of |window|'s procedure for a point given in the client
// coordinates of |origin|.
LRESULT HitTestAt(HWND window, HWND origin, LONG x, LONG y) {
  POINT point{x, y};
  ::ClientToScreen(origin, &point);
  return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
}

class WindowMethodsTest : public MainHostTest {
 protected:
  void SetUp() override {
    StartMainHost();
    if (HasFatalFailure()) {
      return;
    }
    ASSERT_TRUE(log_->WaitForMessage("[KR] OnCreate done, main window ready"));
  }

  CallResult Call(const char* method, const EncodableValue& arguments = EncodableValue()) {
    return ui_->Call("kestrune/window", method, arguments);
  }

  void ExpectOk(const char* method, const EncodableValue& arguments = EncodableValue()) {
    CallResult result = Call(method, arguments);
    EXPECT_EQ(result.kind, CallResult::Kind::kSuccess) << method << " " << result.code;
  }

  // Gives the window a known place and size first.
  void PlaceAt(int x, int y, int w, int h) {
    ExpectOk("setWindowBounds", Rect(x, y, w, h));
    RECT expected{x, y, x + w, y + h};
    ASSERT_TRUE(WaitForRect(window_, expected)) << Describe(WindowRect(window_));
  }
};

TEST_F(WindowMethodsTest, SetWindowSizeResizesAndKeepsThePosition) {
  PlaceAt(100, 80, 700, 500);
  ExpectOk("setWindowSize", Map({{"w", EncodableValue(400.0)}, {"h", EncodableValue(300.0)}}));
  EXPECT_TRUE(WaitForRect(window_, RECT{100, 80, 500, 380})) << Describe(WindowRect(window_));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowSize: w=400.0 h=300.0"));
  // Wine leaves a stale error code behind a successful move, so err is not pinned.
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowSize: -> 400x300 r=1 err="));
  EXPECT_TRUE(log_->WaitForMessage(" after=(100,80,500,380)"));
  // Whole numbers, as the interface sends them, are numbers too.
  ExpectOk("setWindowSize",
           Map({{"w", EncodableValue(int32_t{420})}, {"h", EncodableValue(int64_t{310})}}));
  EXPECT_TRUE(WaitForRect(window_, RECT{100, 80, 520, 390})) << Describe(WindowRect(window_));
}

TEST_F(WindowMethodsTest, SetWindowSizeWithoutAPositiveSizeOnlyLogs) {
  PlaceAt(100, 80, 700, 500);
  ExpectOk("setWindowSize", Map({{"w", EncodableValue(0.0)}, {"h", EncodableValue(300.0)}}));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowSize: w=0.0 h=300.0"));
  ExpectOk("getWindowPos");
  EXPECT_EQ(log_->CountMessages("[KR] setWindowSize: ->"), 0u);
  RECT rect = WindowRect(window_);
  EXPECT_TRUE(::EqualRect(&rect, std::data({RECT{100, 80, 800, 580}})));
}

TEST_F(WindowMethodsTest, WrongArgumentTypesChangeNothing) {
  PlaceAt(100, 80, 700, 500);
  CallResult result =
      Call("setWindowSize", Map({{"w", EncodableValue(400.0)}, {"h", EncodableValue("300")}}));
  EXPECT_EQ(result.kind, CallResult::Kind::kError);
  EXPECT_EQ(result.code, "BAD_ARGS");
  EXPECT_NE(result.message.find("\"h\""), std::string::npos);
  ExpectOk("getWindowPos");
  RECT rect = WindowRect(window_);
  EXPECT_TRUE(::EqualRect(&rect, std::data({RECT{100, 80, 800, 580}})));
}

TEST_F(WindowMethodsTest, SetWindowBoundsMovesAndResizes) {
  ExpectOk("setWindowBounds", Rect(150, 60, 500, 400));
  EXPECT_TRUE(WaitForRect(window_, RECT{150, 60, 650, 460})) << Describe(WindowRect(window_));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowBounds: move=1 pos=(150,60) size=500x400 err="));
  EXPECT_TRUE(log_->WaitForMessage(" after=(150,60,650,460)"));
  // A size of zero is ignored.
  ExpectOk("setWindowBounds", Rect(10, 10, 0, 400));
  ExpectOk("getWindowPos");
  RECT rect = WindowRect(window_);
  EXPECT_TRUE(::EqualRect(&rect, std::data({RECT{150, 60, 650, 460}})));
}

TEST_F(WindowMethodsTest, GetWindowPosReportsTheRectangle) {
  PlaceAt(120, 90, 640, 480);
  CallResult result = Call("getWindowPos");
  ASSERT_EQ(result.kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(result.value, Map({{"x", EncodableValue(120.0)},
                               {"y", EncodableValue(90.0)},
                               {"w", EncodableValue(640.0)},
                               {"h", EncodableValue(480.0)}}));
}

TEST_F(WindowMethodsTest, GetCursorPosReportsPhysicalPixels) {
  ASSERT_TRUE(::SetCursorPos(321, 234));
  ASSERT_TRUE(WaitUntil([] {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    return cursor.x == 321 && cursor.y == 234;
  }));
  CallResult result = Call("getCursorPos");
  ASSERT_EQ(result.kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(result.value, Map({{"x", EncodableValue(321.0)}, {"y", EncodableValue(234.0)}}));
}

TEST_F(WindowMethodsTest, SetTopCenterTouchesTheTopCentred) {
  PlaceAt(100, 300, 501, 400);
  RECT work = WorkArea();
  ExpectOk("setTopCenter");
  int x = work.left + (work.right - work.left - 501) / 2;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, work.top, x + 501, work.top + 400}))
      << Describe(WindowRect(window_));
}

TEST_F(WindowMethodsTest, PositionTopCenterCentresForTheGivenWidth) {
  PlaceAt(100, 300, 500, 400);
  RECT work = WorkArea();
  ExpectOk("positionTopCenter",
           Map({{"topOffset", EncodableValue(40.9)}, {"width", EncodableValue(int32_t{300})}}));
  int x = work.left + (work.right - work.left - 300) / 2;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, work.top + 40, x + 500, work.top + 440}))
      << Describe(WindowRect(window_));
  // Defaults: 28 px down, centred for the current width.
  ExpectOk("positionTopCenter");
  x = work.left + (work.right - work.left - 500) / 2;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, work.top + 28, x + 500, work.top + 428}))
      << Describe(WindowRect(window_));
}

TEST_F(WindowMethodsTest, SetCenterScreenCentresInTheMainRole) {
  PlaceAt(10, 10, 600, 400);
  RECT work = WorkArea();
  ExpectOk("setCenterScreen");
  int x = work.left + (work.right - work.left - 600) / 2;
  int y = work.top + (work.bottom - work.top - 400) / 2;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, y, x + 600, y + 400})) << Describe(WindowRect(window_));
}

TEST_F(WindowMethodsTest, SetDesktopBoundsReportsTheWorkArea) {
  RECT work = WorkArea();
  CallResult result = Call("setDesktopBounds");
  ASSERT_EQ(result.kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(result.value,
            Map({{"width", EncodableValue(static_cast<double>(work.right - work.left))},
                 {"height", EncodableValue(static_cast<double>(work.bottom - work.top))},
                 {"x", EncodableValue(static_cast<double>(work.left))},
                 {"y", EncodableValue(static_cast<double>(work.top))}}));
}

TEST_F(WindowMethodsTest, OpacityMakesTheWindowLayeredAndSetLayeredUndoesIt) {
  ExpectOk("setWindowOpacity", Map({{"opacity", EncodableValue(int32_t{50})}}));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowOpacity: 50% alpha=127"));
  EXPECT_NE(ExStyle(window_) & WS_EX_LAYERED, 0);
  EXPECT_EQ(LayeredAlpha(window_), std::optional<BYTE>(127));
  ExpectOk("setWindowOpacity");
  EXPECT_EQ(LayeredAlpha(window_), std::optional<BYTE>(255));
  ExpectOk("setLayered");
  EXPECT_EQ(ExStyle(window_) & WS_EX_LAYERED, 0);
}

TEST_F(WindowMethodsTest, ClickThroughMarksTheWindowAndItsView) {
  std::vector<HWND> views = ChildWindowsOfClass(window_, L"FLUTTERVIEW");
  ASSERT_FALSE(views.empty());
  ExpectOk("setClickThrough", Map({{"enabled", EncodableValue(true)}}));
  EXPECT_NE(ExStyle(window_) & WS_EX_TRANSPARENT, 0);
  EXPECT_NE(ExStyle(views[0]) & WS_EX_TRANSPARENT, 0);
  ExpectOk("setClickThrough");
  EXPECT_EQ(ExStyle(window_) & WS_EX_TRANSPARENT, 0);
  EXPECT_EQ(ExStyle(views[0]) & WS_EX_TRANSPARENT, 0);
}

TEST_F(WindowMethodsTest, ClickThroughMakesTheViewTransparentToEveryHitTest) {
  PlaceAt(100, 100, 600, 400);
  std::vector<HWND> views = ChildWindowsOfClass(window_, L"FLUTTERVIEW");
  ASSERT_EQ(views.size(), 1u);
  HWND view = views[0];
  // A hit region plays no part in the main role.
  ASSERT_EQ(ui_->Call("kestrune/hitregion", "set", Rect(10, 10, 50, 50)).kind,
            CallResult::Kind::kSuccess);
  EXPECT_EQ(HitTestAt(view, view, 20, 20), HTCLIENT);
  ExpectOk("setClickThrough", Map({{"enabled", EncodableValue(true)}}));
  for (POINT point : {POINT{0, 0}, POINT{20, 20}, POINT{300, 200}, POINT{599, 399}}) {
    EXPECT_EQ(HitTestAt(view, view, point.x, point.y), HTTRANSPARENT) << point.x << "," << point.y;
  }
  ExpectOk("setClickThrough");
  EXPECT_EQ(HitTestAt(view, view, 300, 200), HTCLIENT);
}

TEST_F(WindowMethodsTest, WindowRegionClipsAndNullRemovesIt) {
  PlaceAt(100, 100, 600, 400);
  ExpectOk("setWindowRegion", Rect(10.4, 20, 100.2, 50));
  std::optional<RECT> box = RegionBox(window_);
  ASSERT_TRUE(box);
  EXPECT_TRUE(::EqualRect(&*box, std::data({RECT{10, 20, 111, 70}}))) << Describe(*box);
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowRegion: (10,20,100x50) scale=1.00"));
  ExpectOk("setWindowRegion");
  EXPECT_FALSE(RegionBox(window_));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowRegion: null -> full window"));
}

TEST_F(WindowMethodsTest, RoundedCornersClipToTheWindowSize) {
  PlaceAt(100, 100, 600, 400);
  ExpectOk("setWindowRoundedCorners");
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowRoundedCorners: radius=14 r=14 size=600x400"));
  ASSERT_TRUE(RegionBox(window_));
  // A corner pixel is cut away.
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(window_, region), ERROR);
  EXPECT_FALSE(::PtInRegion(region, 0, 0));
  EXPECT_TRUE(::PtInRegion(region, 300, 200));
  ::DeleteObject(region);
  ExpectOk("setWindowRoundedCorners", Map({{"radius", EncodableValue(int32_t{0})}}));
  EXPECT_FALSE(RegionBox(window_));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setWindowRoundedCorners: radius=0 -> full window"));
}

TEST_F(WindowMethodsTest, AlwaysOnTopTogglesTopmost) {
  ExpectOk("setAlwaysOnTop", Map({{"onTop", EncodableValue(false)}}));
  EXPECT_EQ(ExStyle(window_) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(log_->WaitForMessage("[KR] setAlwaysOnTop: false"));
  ExpectOk("setAlwaysOnTop");
  EXPECT_NE(ExStyle(window_) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(log_->WaitForMessage("[KR] setAlwaysOnTop: true"));
}

TEST_F(WindowMethodsTest, BlurGuardAndBlurHideLog) {
  ExpectOk("setBlurGuard", Map({{"ms", EncodableValue(int32_t{2500})}}));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setBlurGuard: 2500 ms"));
  ExpectOk("setBlurGuard", Map({{"ms", EncodableValue(int32_t{0})}}));
  ExpectOk("setBlurHide");
  EXPECT_TRUE(log_->WaitForMessage("[KR] setBlurHide: true"));
  EXPECT_EQ(log_->CountMessages("[KR] setBlurGuard:"), 1u);
  ExpectOk("setBlurHide", Map({{"enabled", EncodableValue(false)}}));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setBlurHide: false"));
}

TEST_F(WindowMethodsTest, MaterialPicksTheBackdrop) {
  ExpectOk("setMaterial", Map({{"material", EncodableValue(int32_t{1})}}));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setMaterial: 1 (backdrop=2)"));
  ExpectOk("setMaterial", Map({{"material", EncodableValue(2.0)}}));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setMaterial: 2 (backdrop=3)"));
  ExpectOk("setMaterial", Map({{"material", EncodableValue(int32_t{5})}}));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setMaterial: 5 (backdrop=0)"));
  ExpectOk("setMaterial");
  EXPECT_TRUE(log_->WaitForMessage("[KR] setMaterial: 0 (backdrop=0)"));
}

TEST_F(WindowMethodsTest, TrayVisibleLogsBothWays) {
  ExpectOk("setTrayVisible");
  EXPECT_TRUE(log_->WaitForMessage("[KR] setTrayVisible: true"));
  ExpectOk("setTrayVisible", Map({{"visible", EncodableValue(false)}}));
  EXPECT_TRUE(log_->WaitForMessage("[KR] setTrayVisible: false"));
}

TEST_F(WindowMethodsTest, HideOffScreenParksAZeroSizedWindowVisible) {
  ::ShowWindow(window_, SW_SHOWNOACTIVATE);
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window_) != FALSE; }));
  ASSERT_TRUE(
      ::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
  ASSERT_TRUE(WaitUntil([&] {
    RECT rect = WindowRect(window_);
    return rect.right == rect.left && rect.bottom == rect.top;
  }));
  ExpectOk("hideOffScreen");
  EXPECT_TRUE(WaitForRect(window_, RECT{-32000, -32000, -32000 + 720, -32000 + 530}))
      << Describe(WindowRect(window_));
  EXPECT_NE(ExStyle(window_) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(::IsWindowVisible(window_));
  EXPECT_TRUE(log_->WaitForMessage("[KR] hideOffScreen: keep size 720x530 r=1 err="));
}

TEST_F(WindowMethodsTest, ShowFromIdleBringsTheCardBackInGrace) {
  ExpectOk("hideOffScreen");
  ExpectOk("setBlurHide");
  ExpectOk("showFromIdle");
  RECT work = WorkArea();
  int x = work.left + (work.right - work.left - 720) / 2;
  int y = work.top + (work.bottom - work.top - 530) / 2;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, y, x + 720, y + 530})) << Describe(WindowRect(window_));
  EXPECT_TRUE(::IsWindowVisible(window_));
  EXPECT_TRUE(log_->WaitForMessage("[KR] showFromIdle called"));
  EXPECT_TRUE(log_->WaitForMessage("[KR] showFromIdle: pos=(" + std::to_string(x) + "," +
                                   std::to_string(y) + ") size=720x530 dpi=1.0"));
  EXPECT_TRUE(log_->WaitForMessage(
      "[KR] showFromIdle: card_expanded=1 (ever_activated left for WM_ACTIVATE)"));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; }));
  // In its ten-second grace, losing the focus does not collapse the card.
  auto helper = StartHelperWindow(L"kr show from idle helper");
  ASSERT_TRUE(helper);
  EXPECT_FALSE(ui_->WaitForCall("kestrune/hotkey", "esc_collapse", 1000));
}

TEST_F(WindowMethodsTest, ShowFromIdleKeepsASetSize) {
  ExpectOk("setWindowSize", Map({{"w", EncodableValue(400.0)}, {"h", EncodableValue(150.0)}}));
  ExpectOk("showFromIdle");
  RECT work = WorkArea();
  // Lower than 200 px: a quarter of the free height down.
  int x = work.left + (work.right - work.left - 400) / 2;
  int y = work.top + (work.bottom - work.top - 150) / 4;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, y, x + 400, y + 150})) << Describe(WindowRect(window_));
}

TEST_F(WindowMethodsTest, ShowFromIdleClampsAKeptSizeLargerThanTheWorkArea) {
  RECT work = WorkArea();
  int work_width = work.right - work.left;
  int work_height = work.bottom - work.top;
  ExpectOk("setWindowSize", Map({{"w", EncodableValue(work_width * 1.25)},
                                 {"h", EncodableValue(work_height * 1.4)}}));
  // The window manager may cap a window a little above the screen's size: the
  // clamp starts from whatever size the window really has.
  RECT kept = WindowRect(window_);
  int kept_width = kept.right - kept.left;
  int kept_height = kept.bottom - kept.top;
  ASSERT_GT(kept_height, work_height);
  ExpectOk("showFromIdle");
  EXPECT_TRUE(log_->WaitForMessage("[KR] clamp window: "));
  double scale = std::min(std::min(static_cast<double>(work_width) / kept_width, 1.0),
                          static_cast<double>(work_height) / kept_height);
  int width = static_cast<int>(kept_width * scale);
  int height = static_cast<int>(kept_height * scale);
  int x = work.left + (work_width - width) / 2;
  int y = work.top + (work_height - height) / 2;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, y, x + width, y + height}))
      << Describe(WindowRect(window_));
}

TEST_F(WindowMethodsTest, ShowCapsuleBarPlacesTheIsland) {
  ExpectOk("showCapsuleBar");
  RECT work = WorkArea();
  int x = work.left + (work.right - work.left - 380) / 2;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, work.top + 2, x + 380, work.top + 66}))
      << Describe(WindowRect(window_));
  EXPECT_NE(ExStyle(window_) & WS_EX_TOPMOST, 0);
}

TEST_F(WindowMethodsTest, HitRegionSetAnswersSuccess) {
  CallResult result = ui_->Call("kestrune/hitregion", "set", Rect(10.4, 0, 100.5, 40));
  EXPECT_EQ(result.kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(ui_->Call("kestrune/hitregion", "clear").kind, CallResult::Kind::kNotImplemented);
  EXPECT_EQ(Call("noSuchMethod").kind, CallResult::Kind::kNotImplemented);
}

// Every method of both channels with a value of every codec type as its
// arguments is answered, and the host lives on.
TEST_F(WindowMethodsTest, EveryArgumentTypeIsAnswered) {
  for (const EncodableValue& arguments : EveryCodecType()) {
    for (const char* method : kWindowGeometryMethods) {
      CallResult result = Call(method, arguments);
      EXPECT_NE(result.kind, CallResult::Kind::kNoAnswer) << method;
      EXPECT_NE(result.kind, CallResult::Kind::kNotImplemented) << method;
    }
    EXPECT_EQ(ui_->Call("kestrune/hitregion", "set", arguments).kind, CallResult::Kind::kSuccess);
  }
  EXPECT_TRUE(host_->running());
  EXPECT_TRUE(MessageLoopAnswers(window_));
}

// The capsule role: its own host, connected to the bridge as "capsule".
class CapsuleWindowMethodsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::make_unique<LogReader>(DebugLogPath());
    host_ = StartHost({{L"KR_UI_BRIDGE", bridge_.Setting()}, {L"KESTRUNE_CAPSULE", L"1"}});
    ASSERT_TRUE(host_);
    ui_ = bridge_.WaitForConnection("capsule");
    ASSERT_NE(ui_, nullptr);
    window_ = WaitForHostWindow(host_->pid());
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window_) != FALSE; }));
  }

  UiBridgeServer bridge_;
  std::unique_ptr<LogReader> log_;
  std::unique_ptr<ChildProcess> host_;
  BridgeConnection* ui_ = nullptr;
  HWND window_ = nullptr;
};

TEST_F(CapsuleWindowMethodsTest, SetCenterScreenIsIgnored) {
  RECT before = WindowRect(window_);
  EXPECT_EQ(ui_->Call("kestrune/window", "setCenterScreen").kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(ui_->Call("kestrune/window", "getWindowPos").kind, CallResult::Kind::kSuccess);
  RECT after = WindowRect(window_);
  EXPECT_TRUE(::EqualRect(&before, &after)) << Describe(after);
}

TEST_F(CapsuleWindowMethodsTest, ShowCapsuleBarPlacesTheIsland) {
  EXPECT_EQ(ui_->Call("kestrune/window", "showCapsuleBar").kind, CallResult::Kind::kSuccess);
  RECT work = WorkArea();
  int x = work.left + (work.right - work.left - 380) / 2;
  EXPECT_TRUE(WaitForRect(window_, RECT{x, work.top + 2, x + 380, work.top + 66}))
      << Describe(WindowRect(window_));
  EXPECT_NE(ExStyle(window_) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(::IsWindowVisible(window_));
}

TEST_F(CapsuleWindowMethodsTest, HitRegionSetIsLogged) {
  EXPECT_EQ(ui_->Call("kestrune/hitregion", "set", Rect(10.4, 0, 100.5, 40)).kind,
            CallResult::Kind::kSuccess);
  EXPECT_TRUE(log_->WaitForMessage("[KR] CAP setHitRegion: (10,0)-(111,40)"));
  EXPECT_EQ(ui_->Call("kestrune/hitregion", "set", Rect(0, 0, 1.0, 40)).kind,
            CallResult::Kind::kSuccess);
  EXPECT_EQ(ui_->Call("kestrune/hitregion", "set",
                      Map({{"x", EncodableValue(int32_t{10})},
                           {"y", EncodableValue(int32_t{0})},
                           {"w", EncodableValue(int32_t{100})},
                           {"h", EncodableValue(int32_t{40})}}))
                .kind,
            CallResult::Kind::kSuccess);
  EXPECT_TRUE(log_->WaitForMessage("[KR] CAP setHitRegion: (10,0)-(110,40)"));
  EXPECT_EQ(log_->CountMessages("[KR] CAP setHitRegion:"), 2u);
}

TEST_F(CapsuleWindowMethodsTest, HitRegionEdgesBelongToTheIslandForWindowAndView) {
  std::vector<HWND> views = ChildWindowsOfClass(window_, L"FLUTTERVIEW");
  ASSERT_EQ(views.size(), 1u);
  HWND view = views[0];
  // Without a region the whole capsule is the island.
  EXPECT_EQ(HitTestAt(window_, window_, 300, 30), HTCLIENT);
  EXPECT_EQ(HitTestAt(view, view, 300, 30), HTCLIENT);

  // Stored as (10, 0, 111, 40): both right and bottom edges are inside.
  ASSERT_EQ(ui_->Call("kestrune/hitregion", "set", Rect(10.4, 0, 100.5, 40)).kind,
            CallResult::Kind::kSuccess);
  ASSERT_TRUE(log_->WaitForMessage("[KR] CAP setHitRegion: (10,0)-(111,40)"));
  for (HWND target : {window_, view}) {
    const char* name = target == window_ ? "window" : "view";
    EXPECT_EQ(HitTestAt(target, target, 10, 0), HTCLIENT) << name;
    EXPECT_EQ(HitTestAt(target, target, 111, 40), HTCLIENT) << name;
    EXPECT_EQ(HitTestAt(target, target, 112, 20), HTTRANSPARENT) << name;
    EXPECT_EQ(HitTestAt(target, target, 50, 41), HTTRANSPARENT) << name;
    EXPECT_EQ(HitTestAt(target, target, 9, 20), HTTRANSPARENT) << name;
  }
  EXPECT_TRUE(log_->WaitForMessage("[KR] CAP child NCHITTEST: outside -> HTTRANSPARENT"));

  // A width of 1 is no region and leaves the stored one.
  ASSERT_EQ(ui_->Call("kestrune/hitregion", "set", Rect(0, 0, 1.0, 40)).kind,
            CallResult::Kind::kSuccess);
  EXPECT_EQ(HitTestAt(window_, window_, 112, 20), HTTRANSPARENT);
  EXPECT_EQ(HitTestAt(view, view, 111, 40), HTCLIENT);
}

}  // namespace
}  // namespace kr_test
