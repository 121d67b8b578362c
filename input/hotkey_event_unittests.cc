#include "input/hotkey_event.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// The numbers are hotkey ids too (WM_HOTKEY passes its id on), and the names are
// what the interface listens for.
TEST(HotkeyEventTest, NumbersNameTheirMethodsAndIdentifyTheDefaultHotkeys) {
  std::string methods;
  for (int32_t number : {INT32_MIN, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, INT32_MAX}) {
    methods += std::string(HotkeyEventMethod(number) ? HotkeyEventMethod(number) : "-") + " ";
  }
  EXPECT_EQ(methods,
            "- - - toggle_capsule show_main quit space_down space_up voice_mode esc_collapse "
            "close_tag screenshot clipboard ai - - ");
  // Ctrl+Space, Alt+Space, Ctrl+Alt+Q, then Ctrl+Shift+S, V and A, all without repeat.
  std::string defaults;
  for (const DefaultHotkey& hotkey : DefaultHotkeys()) {
    char row[40];
    std::snprintf(row, sizeof(row), "%d:%x:%x ", hotkey.id, hotkey.modifiers, hotkey.virtual_key);
    defaults += row;
  }
  EXPECT_EQ(defaults, "1:4002:20 2:4001:20 3:4003:51 9:4006:53 10:4006:56 11:4006:41 ");
}

}  // namespace
