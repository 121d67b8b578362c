// Logical pixels of "kestrune/window" at a DPI above 96: run in a session whose
// prefix sets LogPixels to KR_EXPECT_DPI (144 or 120).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/main_host_test.h"
#include "tests/support/wait.h"
#include "tests/support/window_rects.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

EncodableValue Rect(double x, double y, double w, double h) {
  return EncodableValue(EncodableMap{{EncodableValue("x"), EncodableValue(x)},
                                     {EncodableValue("y"), EncodableValue(y)},
                                     {EncodableValue("w"), EncodableValue(w)},
                                     {EncodableValue("h"), EncodableValue(h)}});
}

UINT ExpectedDpi() {
  const char* value = std::getenv("KR_EXPECT_DPI");
  return value ? static_cast<UINT>(std::atoi(value)) : 0;
}

class WindowDpiTest : public MainHostTest {
 protected:
  void SetUp() override {
    dpi_ = ExpectedDpi();
    ASSERT_TRUE(dpi_ == 144 || dpi_ == 120) << "KR_EXPECT_DPI names the session's DPI";
    StartMainHost();
    if (HasFatalFailure()) {
      return;
    }
    ASSERT_TRUE(log_->WaitForMessage("[KR] OnCreate done, main window ready"));
    ASSERT_EQ(::GetDpiForWindow(window_), dpi_);
  }

  CallResult Call(const char* method, const EncodableValue& arguments = EncodableValue()) {
    return ui_->Call("kestrune/window", method, arguments);
  }

  UINT dpi_ = 0;
};

TEST_F(WindowDpiTest, SizesAreScaledAndRounded) {
  // 144: 100 x 1.5 = 150; 120: 100 x 1.25 = 125, 80 x 1.25 = 100.
  ASSERT_EQ(Call("setWindowBounds", Rect(100, 80, 400, 300)).kind, CallResult::Kind::kSuccess);
  RECT bounds = dpi_ == 144 ? RECT{150, 120, 750, 570} : RECT{125, 100, 625, 475};
  EXPECT_TRUE(WaitForRect(window_, bounds)) << Describe(WindowRect(window_));

  ASSERT_EQ(Call("setWindowBounds", Rect(100, 80, 200, 100)).kind, CallResult::Kind::kSuccess);
  ASSERT_EQ(Call("setWindowSize",
                 EncodableValue(EncodableMap{{EncodableValue("w"), EncodableValue(400.0)},
                                             {EncodableValue("h"), EncodableValue(300.0)}}))
                .kind,
            CallResult::Kind::kSuccess);
  // 400 x 300 logical: 600 x 450 at 144, 500 x 375 at 120; the position stays.
  RECT sized = dpi_ == 144 ? RECT{150, 120, 750, 570} : RECT{125, 100, 625, 475};
  EXPECT_TRUE(WaitForRect(window_, sized)) << Describe(WindowRect(window_));
}

TEST_F(WindowDpiTest, RegionEdgesAreRoundedOneByOne) {
  ASSERT_EQ(Call("setWindowBounds", Rect(0, 0, 400, 300)).kind, CallResult::Kind::kSuccess);
  ASSERT_EQ(Call("setWindowRegion", Rect(10.2, 2, 3, 10.2)).kind, CallResult::Kind::kSuccess);
  // 144: 15.3, 3, 19.8, 18.3; 120: 12.75, 2.5, 16.5, 15.25 (halves away from zero).
  RECT expected = dpi_ == 144 ? RECT{15, 3, 20, 18} : RECT{13, 3, 17, 15};
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(window_, region), ERROR);
  RECT box{};
  ::GetRgnBox(region, &box);
  ::DeleteObject(region);
  EXPECT_TRUE(::EqualRect(&box, &expected)) << Describe(box);
}

TEST_F(WindowDpiTest, DesktopBoundsAreLogical) {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  double scale = dpi_ / 96.0;
  CallResult result = Call("setDesktopBounds");
  ASSERT_EQ(result.kind, CallResult::Kind::kSuccess);
  const auto& map = std::get<EncodableMap>(result.value);
  EXPECT_DOUBLE_EQ(std::get<double>(map.at(EncodableValue("width"))),
                   (work.right - work.left) / scale);
  EXPECT_DOUBLE_EQ(std::get<double>(map.at(EncodableValue("height"))),
                   (work.bottom - work.top) / scale);
}

}  // namespace
}  // namespace kr_test

int main(int argc, char** argv) {
  // Physical pixels, as the host sees them.
  ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
