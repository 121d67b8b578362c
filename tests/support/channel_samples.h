#ifndef KESTRUNE_TESTS_SUPPORT_CHANNEL_SAMPLES_H_
#define KESTRUNE_TESTS_SUPPORT_CHANNEL_SAMPLES_H_

#include <cstdint>
#include <vector>

#include <flutter/encodable_value.h>

namespace kr_test {

// Values of every type the codec carries (both booleans, negative and
// positive numbers, empty and non-empty collections), for sweeps that call a
// handler with each as its whole argument.
inline std::vector<flutter::EncodableValue> EveryCodecType() {
  using flutter::EncodableList;
  using flutter::EncodableMap;
  using flutter::EncodableValue;
  return {EncodableValue(),
          EncodableValue(false),
          EncodableValue(true),
          EncodableValue(int32_t{-3}),
          EncodableValue(int32_t{7}),
          EncodableValue(int64_t{1} << 40),
          EncodableValue(2.5),
          EncodableValue(-2.5),
          EncodableValue("text"),
          EncodableValue(std::vector<uint8_t>{1, 2}),
          EncodableValue(std::vector<int32_t>{1, 2}),
          EncodableValue(std::vector<int64_t>{1, 2}),
          EncodableValue(std::vector<double>{1.0}),
          EncodableValue(EncodableList{EncodableValue(1)}),
          EncodableValue(EncodableList{EncodableValue(1.0)}),
          EncodableValue(EncodableMap{}),
          EncodableValue(EncodableMap{{EncodableValue("w"), EncodableValue("x")}}),
          EncodableValue(std::vector<float>{1.0f})};
}

// The geometry methods of "kestrune/window", in their dispatch order.
inline constexpr const char* kWindowGeometryMethods[] = {"setTopCenter",
                                                         "positionTopCenter",
                                                         "setCenterScreen",
                                                         "setDesktopBounds",
                                                         "setLayered",
                                                         "setClickThrough",
                                                         "getCursorPos",
                                                         "getWindowPos",
                                                         "bringToForeground",
                                                         "setWindowSize",
                                                         "setWindowBounds",
                                                         "setWindowRegion",
                                                         "setWindowRoundedCorners",
                                                         "setBlurGuard",
                                                         "setBlurHide",
                                                         "setAlwaysOnTop",
                                                         "setWindowOpacity",
                                                         "setTrayVisible",
                                                         "setMaterial",
                                                         "hideOffScreen",
                                                         "showFromIdle",
                                                         "showCapsuleBar"};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_CHANNEL_SAMPLES_H_
