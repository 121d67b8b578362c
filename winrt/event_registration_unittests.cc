#include "winrt/event_registration.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/support/winrt_fakes.h"

namespace {

using kr_test::IFakeEventSource;

TEST(EventRegistrationTest, RemovesItsHandlerWithItsTokenWhenItEnds) {
  kr_test::FakeRuntimeLog log;
  {
    auto source = kr_test::FakeEventSource::Create(&log);
    auto handler = kr_test::FakeInspectable::Create(&log);
    winrt::EventRegistration first;
    winrt::EventRegistration second;
    // A refused handler leaves nothing to remove.
    EXPECT_EQ(winrt::RegisterEvent(source.get(), &IFakeEventSource::add_Changed,
                                   &IFakeEventSource::remove_Changed,
                                   static_cast<IUnknown*>(nullptr), &first),
              E_POINTER);
    EXPECT_FALSE(first);
    ASSERT_EQ(winrt::RegisterEvent(source.get(), &IFakeEventSource::add_Changed,
                                   &IFakeEventSource::remove_Changed, handler.get(), &first),
              S_OK);
    ASSERT_EQ(winrt::RegisterEvent(source.get(), &IFakeEventSource::add_Changed,
                                   &IFakeEventSource::remove_Changed, handler.get(), &second),
              S_OK);
    // The registrations keep the source alive on their own.
    source.reset();
    handler.reset();
    winrt::EventRegistration moved = std::move(second);
    EXPECT_FALSE(second);
    moved.reset();
    EXPECT_EQ(log.removed_tokens, std::vector<int64_t>{0x7000000000000002});
  }
  EXPECT_EQ(log.removed_tokens, (std::vector<int64_t>{0x7000000000000002, 0x7000000000000001}));
  EXPECT_EQ(log.live_objects, 0);
}

}  // namespace
