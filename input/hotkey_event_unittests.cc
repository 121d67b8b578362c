#include "input/hotkey_event.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The numbers are hotkey ids too (WM_HOTKEY passes its id on), and the names are
// what the interface listens for.
TEST(HotkeyEventTest, NumbersNameTheirMethods) {
  std::string methods;
  for (int32_t number : {INT32_MIN, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, INT32_MAX}) {
    methods += std::string(HotkeyEventMethod(number) ? HotkeyEventMethod(number) : "-") + " ";
  }
  EXPECT_EQ(methods,
            "- - - toggle_capsule show_main quit space_down space_up voice_mode esc_collapse "
            "close_tag screenshot clipboard ai - - ");
}

}  // namespace
