#include "winrt/pinterface_iid.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace {

std::string Hex(const Sha1Digest& digest) {
  std::string hex;
  for (uint8_t byte : digest) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 0xf];
  }
  return hex;
}

// Field order and byte order of the computed IID, checked by the compiler.
static_assert(PinterfaceIid("pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};b1)") ==
              Guid{0xcdb5efb3, 0x5788, 0x509d, {0x9b, 0xe1, 0x71, 0xcc, 0xb8, 0xa3, 0x36, 0x2a}});

TEST(Sha1Test, FipsVectors) {
  struct Case {
    std::string message;
    const char* digest;
  } const cases[] = {
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      // 56 bytes: the length no longer fits in the first block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Sha1Of(c.message)), c.digest) << "message of " << c.message.size() << " bytes";
  }
}

TEST(Sha1Test, DigestLeavesTheHasherOpenForMoreBytes) {
  Sha1 hasher;
  hasher.Update(std::string_view("ab"));
  EXPECT_EQ(Hex(hasher.Digest()), "da23614e02469a0d7c7bd1bdab5c9c474b1904dc");
  hasher.Update(std::string_view("c"));
  EXPECT_EQ(Hex(hasher.Digest()), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(PinterfaceIidTest, PublishedInstances) {
  struct Case {
    const char* signature;
    const char* iid;
  } const cases[] = {
      {"pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};b1)",
       "c1d3d1a2-ae17-5a5f-b5a2-bdcc8844889a"},
      {"pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};b1)",
       "cdb5efb3-5788-509d-9be1-71ccb8a3362a"},
      {"pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};rc(Windows.Media.SpeechSynthesis."
       "SpeechSynthesisStream;{83e46e93-244c-4622-ba0b-6229c4d0d65d}))",
       "df9d48ad-9cea-560c-9edc-cb8852cb55e3"},
      {"pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};rc(Windows.Media.SpeechSynthesis."
       "SpeechSynthesisStream;{83e46e93-244c-4622-ba0b-6229c4d0d65d}))",
       "c972b996-6165-50d4-af60-a8c3df51d092"},
      {"pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};rc(Windows.Media.SpeechSynthesis."
       "VoiceInformation;{b127d6a4-1291-4604-aa9c-83134083352c}))",
       "ee8d63ce-51ac-5984-891b-d232fa7f6453"},
      {"pinterface({faa585ea-6214-4217-afda-7f46de5869b3};rc(Windows.Media.SpeechSynthesis."
       "VoiceInformation;{b127d6a4-1291-4604-aa9c-83134083352c}))",
       "3c33bb52-bd98-5c8c-adee-ee8da0628efc"},
      {"pinterface({6a79e863-4300-459a-9966-cbb660963ee1};rc(Windows.Media.SpeechSynthesis."
       "VoiceInformation;{b127d6a4-1291-4604-aa9c-83134083352c}))",
       "12d40a27-ae8d-5fb0-8fed-00165d59c6ab"},
      {"pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};{1803def8-dca5-4b6f-9c20-e3d3c0643625})",
       "b543562c-02b1-5824-80a8-9854130cdadd"},
      {"pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};rc(Windows.Media.Control."
       "GlobalSystemMediaTransportControlsSessionManager;{cace8eac-e86e-504a-ab31-5ff8ff1bce49}))",
       "3eec115e-7346-5c27-8c5f-da78514a277b"},
      {"pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};pinterface({61c17706-2d65-11e0-9ae8-"
       "d48564015472};struct(Windows.Foundation.TimeSpan;i8)))",
       "24a901ad-910f-5c0f-b23c-67007577a558"},
      {"pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};string)",
       "2f13c006-a03a-5f69-b090-75a43e33423e"},
      // The notification listener's two completion delegates.
      {"pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};enum(Windows.UI.Notifications."
       "Management.UserNotificationListenerAccessStatus;i4))",
       "f09e843a-13cb-559b-a9fc-015722c2cd57"},
      {"pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};pinterface({bbe1fa4c-b0e3-4583-baef-"
       "1f1b2e483e56};rc(Windows.UI.Notifications.UserNotification;{adf7e52f-4e53-42d5-9c33-"
       "eb5ea515b23e})))",
       "9e42ed08-45b3-5643-b5c7-b216f5781594"},
      // AsyncOperationCompletedHandler<IVectorView<Appointment>>: nested, with a runtime class.
      {"pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};pinterface({bbe1fa4c-b0e3-4583-baef-"
       "1f1b2e483e56};rc(Windows.ApplicationModel.Appointments.Appointment;{dd002f2f-2bdd-4076-"
       "90a3-22c275312965})))",
       "f626345f-7bfc-5418-9f47-f1d86306e06b"},
  // The Windows.Media.Control instances the media feed uses.
#define KR_MC "rc(Windows.Media.Control.GlobalSystemMediaTransportControlsSession"
#define KR_MANAGER KR_MC "Manager;{cace8eac-e86e-504a-ab31-5ff8ff1bce49})"
#define KR_SESSION KR_MC ";{7148c835-9b14-5ae2-ab85-dc9b1c14e1a8})"
#define KR_PROPERTIES KR_MC "MediaProperties;{68856cf6-adb4-54b2-ac16-05837907acb6})"
#define KR_HANDLER "pinterface({9de1c534-6ae1-11e0-84e1-18a905bcc53f};"
      {"pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};" KR_MANAGER ")",
       "10f0074e-923d-5510-8f4a-dde37754ca0e"},
      {"pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};" KR_PROPERTIES ")",
       "b185e6f3-e0d8-51cb-913f-c98d48c93c46"},
      {"pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};" KR_PROPERTIES ")",
       "84593a3d-951a-55b6-8353-5205e577797b"},
      {KR_HANDLER KR_MANAGER ";rc(Windows.Media.Control.SessionsChangedEventArgs;{bbf0cd32-42c4-"
                             "5a58-b317-f34bbfbd26e0}))",
       "2e2a8630-dc8c-530a-9746-bc984d4b029e"},
      {KR_HANDLER KR_SESSION ";rc(Windows.Media.Control.TimelinePropertiesChangedEventArgs;{"
                             "29033a2f-c923-5a77-bcaf-055ff415ad32}))",
       "e8bf62af-fac1-5fff-9053-0bf191ae777e"},
      {KR_HANDLER KR_SESSION ";rc(Windows.Media.Control.PlaybackInfoChangedEventArgs;{786756c2-"
                             "bc0d-50a5-8807-054291fef139}))",
       "2bdf1426-d41f-5896-897f-efc0b0fa7392"},
      {KR_HANDLER KR_SESSION ";rc(Windows.Media.Control.MediaPropertiesChangedEventArgs;{7d3741cb-"
                             "adf0-5cef-91ba-cfabcdd77678}))",
       "0f2ce2b7-afa7-5ed0-8cb6-8c40cf9b3a5f"},
      {"pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};" KR_SESSION ")",
       "9b2672da-5088-5a1d-acd9-a3fc5ef1cfa4"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GuidText(PinterfaceIid(c.signature)), c.iid) << c.signature;
  }
}

TEST(PinterfaceIidTest, GuidTextKeepsLeadingZerosAndLowerCase) {
  EXPECT_EQ(
      GuidText(Guid{0x0000000a, 0x00b0, 0x0c00, {0xd0, 0x0e, 0x00, 0x00, 0x00, 0x00, 0x0f, 0xff}}),
      "0000000a-00b0-0c00-d00e-000000000fff");
}

TEST(PinterfaceIidTest, SignatureBuildersSpellPublishedInstances) {
  // IAsyncOperation<GlobalSystemMediaTransportControlsSessionManager>, with the
  // GUIDs given upper-case as some headers print them.
  EXPECT_EQ(
      PinterfaceSignature(
          "9FC2B0BB-E446-44E2-AA61-9CAB8F636AF2",
          {RuntimeClassSignature(
              "Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager",
              "CACE8EAC-E86E-504A-AB31-5FF8FF1BCE49")}),
      "pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};rc(Windows.Media.Control."
      "GlobalSystemMediaTransportControlsSessionManager;{cace8eac-e86e-504a-ab31-5ff8ff1bce49}))");

  // IAsyncOperation<IReference<TimeSpan>>: a nested instance.
  EXPECT_EQ(PinterfaceSignature("9fc2b0bb-e446-44e2-aa61-9cab8f636af2",
                                {PinterfaceSignature("61c17706-2d65-11e0-9ae8-d48564015472",
                                                     {"struct(Windows.Foundation.TimeSpan;i8)"})}),
            "pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};pinterface({61c17706-2d65-11e0-9ae8-"
            "d48564015472};struct(Windows.Foundation.TimeSpan;i8)))");

  // IVectorView<IMediaMarker>: a plain interface argument.
  EXPECT_EQ(
      PinterfaceSignature("bbe1fa4c-b0e3-4583-baef-1f1b2e483e56",
                          {InterfaceSignature("1803def8-dca5-4b6f-9c20-e3d3c0643625")}),
      "pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};{1803def8-dca5-4b6f-9c20-e3d3c0643625})");

  // IAsyncOperation<UserNotificationListenerAccessStatus>, down to its IID.
  EXPECT_EQ(GuidText(PinterfaceIid(PinterfaceSignature(
                "9fc2b0bb-e446-44e2-aa61-9cab8f636af2",
                {EnumSignature(
                    "Windows.UI.Notifications.Management.UserNotificationListenerAccessStatus")}))),
            "0fbad8c7-086f-5bf9-81e2-8d79e7184803");

  // A runtime class whose default interface is generic keeps that signature as is.
  EXPECT_EQ(
      RuntimeClassSignature("N.C", "pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};string)"),
      "rc(N.C;pinterface({bbe1fa4c-b0e3-4583-baef-1f1b2e483e56};string))");
}

}  // namespace
