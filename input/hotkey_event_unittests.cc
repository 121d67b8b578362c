#include "input/hotkey_event.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The numbers are hotkey ids too (WM_HOTKEY passes its id on), and the names are
// what the interface listens for.
TEST(HotkeyEventTest, NumbersNameTheirMethodsAndIdentifyTheDefaultHotkeys) {
  std::string methods;
  for (int32_t number : {INT32_MIN, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, INT32_MAX}) {
    const char* method = HotkeyEventMethod(number);
    methods += std::string(method ? method : "-") + " ";
  }
  EXPECT_EQ(methods,
            "- - toggle_capsule show_main quit space_down space_up voice_mode esc_collapse "
            "close_tag screenshot clipboard ai - - ");

  std::string defaults;
  for (const DefaultHotkey& hotkey : DefaultHotkeys()) {
    defaults += std::to_string(hotkey.id) + ":" + std::to_string(hotkey.modifiers) + ":" +
                std::to_string(hotkey.virtual_key) + " ";
  }
  // Ctrl+Space, Alt+Space, Ctrl+Alt+Q, then Ctrl+Shift+S, V and A, all without repeat.
  EXPECT_EQ(defaults, "1:16386:32 2:16385:32 3:16387:81 9:16390:83 10:16390:86 11:16390:65 ");
}

}  // namespace
