#include "input/hotkey_event.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

namespace {

TEST(HotkeyEventMethodTest, EveryNumberHasItsMethod) {
  // The numbers are also hotkey ids (WM_HOTKEY passes them on unchanged), so both the
  // enumerators and the names are pinned to literal values.
  struct Row {
    int32_t number;
    HotkeyEvent event;
    const char* method;
  };
  const Row rows[] = {
      {1, kToggleCapsule, "toggle_capsule"},
      {2, kShowMain, "show_main"},
      {3, kQuit, "quit"},
      {4, kSpaceDown, "space_down"},
      {5, kSpaceUp, "space_up"},
      {6, kVoiceMode, "voice_mode"},
      {7, kEscCollapse, "esc_collapse"},
      {8, kCloseTag, "close_tag"},
      {9, kScreenshot, "screenshot"},
      {10, kClipboard, "clipboard"},
      {11, kAi, "ai"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.number);
    EXPECT_EQ(static_cast<int32_t>(row.event), row.number);
    ASSERT_NE(HotkeyEventMethod(row.number), nullptr);
    EXPECT_EQ(std::string(HotkeyEventMethod(row.number)), row.method);
  }
}

TEST(HotkeyEventMethodTest, NothingOutsideOneToEleven) {
  for (int32_t number : {INT32_MIN, -1, 0, 12, 13, 100, INT32_MAX}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(HotkeyEventMethod(number), nullptr);
  }
}

TEST(DefaultHotkeysTest, SixRowsInRegistrationOrder) {
  struct Row {
    int32_t id;
    uint32_t modifiers;
    uint32_t virtual_key;
  };
  const Row expected[] = {
      {1, 0x4002, 0x20}, {2, 0x4001, 0x20},  {3, 0x4003, 0x51},
      {9, 0x4006, 0x53}, {10, 0x4006, 0x56}, {11, 0x4006, 0x41},
  };
  const std::span<const DefaultHotkey> defaults = DefaultHotkeys();
  ASSERT_EQ(defaults.size(), std::size(expected));
  for (size_t i = 0; i < defaults.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(defaults[i].id, expected[i].id);
    EXPECT_EQ(defaults[i].modifiers, expected[i].modifiers);
    EXPECT_EQ(defaults[i].virtual_key, expected[i].virtual_key);
  }
}

}  // namespace
