#ifndef KESTRUNE_TESTS_SUPPORT_KEYBOARD_INPUT_H_
#define KESTRUNE_TESTS_SUPPORT_KEYBOARD_INPUT_H_

#include <windows.h>

#include <initializer_list>

namespace kr_test {

// The user's keyboard: injects key events with SendInput.
struct Key {
  WORD vk;
  bool down;
};
inline Key Down(WORD vk) {
  return Key{vk, true};
}
inline Key Up(WORD vk) {
  return Key{vk, false};
}

// Sends the events in order, one SendInput each, with a short pause between
// them so the hook sees the key state of the earlier ones.
inline void Type(std::initializer_list<Key> keys) {
  for (const Key& key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = key.down ? 0 : KEYEVENTF_KEYUP;
    ::SendInput(1, &input, sizeof(input));
    ::Sleep(15);
  }
}

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_KEYBOARD_INPUT_H_
