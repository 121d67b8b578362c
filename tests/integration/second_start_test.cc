// A second start while the first instance's card is hidden summons the card,
// as its hotkey would, instead of focusing an invisible window.
#include <gtest/gtest.h>

#include "tests/support/main_host_test.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

class SecondStartTest : public MainHostTest {};

TEST_F(SecondStartTest, HiddenCardIsSummonedAndTheSecondExitsWithOne) {
  StartMainHost();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_FALSE(::IsWindowVisible(window_));

  auto second = StartHost({});
  ASSERT_TRUE(second);
  EXPECT_EQ(second->WaitForExit(15000), std::optional<DWORD>(1));

  EXPECT_TRUE(ui_->WaitForCall("kestrune/hotkey", "toggle_capsule").has_value());
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window_) != FALSE; }));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; }));
}

}  // namespace
}  // namespace kr_test
