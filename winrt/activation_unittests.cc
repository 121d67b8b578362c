#include "winrt/activation.h"

#include <gtest/gtest.h>
#include <roapi.h>

#include "tests/support/winrt_fakes.h"
#include "winrt/abi.h"

namespace {

TEST(ActivationTest, GoesThroughTheTableWhichIsRestoredAfterwards) {
  kr_test::FakeRuntimeLog log;
  {
    auto object = kr_test::FakeInspectable::Create(&log);
    kr_test::ScopedFakeActivation fake(object.get(), S_OK);
    winrt::ComPtr<winrt::IActivationFactory> factory;
    ASSERT_EQ(
        winrt::GetActivationFactory(L"Kestrune.Caf\u00e9", winrt::kIidActivationFactory, &factory),
        S_OK);
    EXPECT_EQ(factory.get(), object.get());
    EXPECT_EQ(fake.class_id(), "Kestrune.Caf\xc3\xa9");
    EXPECT_TRUE(fake.iid() == winrt::kIidActivationFactory);

    winrt::ComPtr<IInspectable> instance;
    ASSERT_EQ(winrt::ActivateInstance(L"Kestrune.Other", &instance), S_OK);
    EXPECT_EQ(fake.class_id(), "Kestrune.Other");
    EXPECT_FALSE(instance.As<winrt::IAsyncInfo>(winrt::kIidAsyncInfo));
  }
  EXPECT_EQ(log.live_objects, 0);
  EXPECT_EQ(winrt::GetRuntimeProcs().ro_get_activation_factory, &::RoGetActivationFactory);
  EXPECT_EQ(winrt::GetRuntimeProcs().ro_activate_instance, &::RoActivateInstance);
}

TEST(ActivationTest, ReturnsTheRuntimesFailure) {
  constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154);
  kr_test::ScopedFakeActivation fake(nullptr, kClassNotRegistered);
  winrt::ComPtr<winrt::IActivationFactory> factory;
  EXPECT_EQ(winrt::GetActivationFactory(L"A.B", winrt::kIidActivationFactory, &factory),
            kClassNotRegistered);
  winrt::ComPtr<IInspectable> instance;
  EXPECT_EQ(winrt::ActivateInstance(L"A.B", &instance), kClassNotRegistered);
  EXPECT_FALSE(factory);
  EXPECT_FALSE(instance);
}

// Wine has no media session manager: the real runtime says so with a failure.
TEST(ActivationTest, TheMediaSessionManagerFailsUnderWine) {
  const HRESULT initialized = ::RoInitialize(RO_INIT_MULTITHREADED);
  // IGlobalSystemMediaTransportControlsSessionManagerStatics.
  constexpr GUID kStatics{
      0x2050c4ee, 0x11a0, 0x57de, {0xae, 0xd7, 0xc9, 0x7c, 0x70, 0x33, 0x82, 0x45}};
  winrt::ComPtr<IInspectable> statics;
  EXPECT_TRUE(FAILED(winrt::GetActivationFactory(
      L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager", kStatics,
      &statics)));
  if (SUCCEEDED(initialized)) {
    ::RoUninitialize();
  }
}

}  // namespace
