#ifndef KESTRUNE_WINRT_MEDIA_CONTROL_H_
#define KESTRUNE_WINRT_MEDIA_CONTROL_H_

// Windows.Media.Control (the system's media sessions) at its ABI: the classes,
// members and generic instances the media feed calls, in vtable order. mingw-w64
// ships none of it. Slots are absolute; the first member of each interface is
// slot 6, after IUnknown and IInspectable.

#include <windows.h>
#include <inspectable.h>

#include <cstdint>

#include "winrt/abi.h"
#include "winrt/collections.h"
#include "winrt/guid.h"
#include "winrt/pinterface_iid.h"

namespace winrt::media {

constexpr GUID ToGuid(const Guid& g) {
  return GUID{g.data1,
              g.data2,
              g.data3,
              {g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
               g.data4[7]}};
}

inline constexpr wchar_t kManagerClassId[] =
    L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager";

// GlobalSystemMediaTransportControlsSessionPlaybackStatus.
enum class PlaybackStatus : int32_t {
  kClosed = 0,
  kOpened = 1,
  kChanging = 2,
  kStopped = 3,
  kPlaying = 4,
  kPaused = 5,
};

// Event arguments carry nothing the feed reads.
struct ISessionsChangedEventArgs : IInspectable {};
struct ICurrentSessionChangedEventArgs : IInspectable {};
struct ITimelinePropertiesChangedEventArgs : IInspectable {};
struct IPlaybackInfoChangedEventArgs : IInspectable {};
struct IMediaPropertiesChangedEventArgs : IInspectable {};

// IGlobalSystemMediaTransportControlsSessionMediaProperties, up to Artist.
struct IMediaProperties : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Title(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Subtitle(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AlbumArtist(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Artist(HSTRING* value) = 0;
};

// IGlobalSystemMediaTransportControlsSessionPlaybackInfo, up to PlaybackStatus.
struct IPlaybackInfo : IInspectable {
  // The playback controls object; not read here.
  virtual HRESULT STDMETHODCALLTYPE get_Controls(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PlaybackStatus(PlaybackStatus* value) = 0;
};

// IGlobalSystemMediaTransportControlsSessionTimelineProperties, up to Position.
struct ITimelineProperties : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_StartTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EndTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MinSeekTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MaxSeekTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Position(TimeSpan* value) = 0;
};

struct ISession;
struct IManager;

using BoolOperation = IAsyncOperation<boolean>;
using TimelineChangedHandler = TypedEventHandler<ISession*, ITimelinePropertiesChangedEventArgs*>;
using PlaybackInfoChangedHandler = TypedEventHandler<ISession*, IPlaybackInfoChangedEventArgs*>;
using MediaPropertiesChangedHandler =
    TypedEventHandler<ISession*, IMediaPropertiesChangedEventArgs*>;
using SessionsChangedHandler = TypedEventHandler<IManager*, ISessionsChangedEventArgs*>;
using CurrentSessionChangedHandler = TypedEventHandler<IManager*, ICurrentSessionChangedEventArgs*>;
using SessionList = IVectorView<ISession*>;

// IGlobalSystemMediaTransportControlsSession: every member, as the events sit
// at its end.
struct ISession : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_SourceAppUserModelId(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  TryGetMediaPropertiesAsync(IAsyncOperation<IMediaProperties*>** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTimelineProperties(ITimelineProperties** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPlaybackInfo(IPlaybackInfo** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryPlayAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryPauseAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryStopAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryRecordAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryFastForwardAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryRewindAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TrySkipNextAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TrySkipPreviousAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryChangeChannelUpAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryChangeChannelDownAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryTogglePlayPauseAsync(BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryChangeAutoRepeatModeAsync(int32_t mode,
                                                                 BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryChangePlaybackRateAsync(double rate,
                                                               BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryChangeShuffleActiveAsync(boolean active,
                                                                BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryChangePlaybackPositionAsync(int64_t position,
                                                                   BoolOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  add_TimelinePropertiesChanged(TimelineChangedHandler* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  remove_TimelinePropertiesChanged(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_PlaybackInfoChanged(PlaybackInfoChangedHandler* handler,
                                                            EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_PlaybackInfoChanged(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  add_MediaPropertiesChanged(MediaPropertiesChangedHandler* handler,
                             EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_MediaPropertiesChanged(EventRegistrationToken token) = 0;
};

// IGlobalSystemMediaTransportControlsSessionManager. GetCurrentSession gives a
// null pointer when there is no current session.
struct IManager : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetCurrentSession(ISession** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSessions(SessionList** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_CurrentSessionChanged(CurrentSessionChangedHandler* handler,
                                                              EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_CurrentSessionChanged(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_SessionsChanged(SessionsChangedHandler* handler,
                                                        EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_SessionsChanged(EventRegistrationToken token) = 0;
};

// IGlobalSystemMediaTransportControlsSessionManagerStatics, from the class's
// activation factory.
struct IManagerStatics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE RequestAsync(IAsyncOperation<IManager*>** operation) = 0;
};

inline constexpr GUID kIidManagerStatics{0x2050c4ee,
                                         0x11a0,
                                         0x57de,
                                         {0xae, 0xd7, 0xc9, 0x7c, 0x70, 0x33, 0x82, 0x45}};

// Type signatures of the runtime classes inside generic instances.
#define KR_RC_MANAGER                                                                    \
  "rc(Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager;{cace8eac-" \
  "e86e-504a-ab31-5ff8ff1bce49})"
#define KR_RC_SESSION                                                                  \
  "rc(Windows.Media.Control.GlobalSystemMediaTransportControlsSession;{7148c835-9b14-" \
  "5ae2-ab85-dc9b1c14e1a8})"
#define KR_RC_MEDIA_PROPERTIES                                                          \
  "rc(Windows.Media.Control.GlobalSystemMediaTransportControlsSessionMediaProperties;{" \
  "68856cf6-adb4-54b2-ac16-05837907acb6})"
#define KR_COMPLETED_HANDLER "pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};"
#define KR_TYPED_HANDLER "pinterface({9de1c534-6ae1-11e0-84e1-18a905bcc53f};"

// AsyncOperationCompletedHandler<T> for the operations the feed waits for.
inline constexpr GUID kIidManagerCompletedHandler =
    ToGuid(PinterfaceIid(KR_COMPLETED_HANDLER KR_RC_MANAGER ")"));
inline constexpr GUID kIidMediaPropertiesCompletedHandler =
    ToGuid(PinterfaceIid(KR_COMPLETED_HANDLER KR_RC_MEDIA_PROPERTIES ")"));
inline constexpr GUID kIidBoolCompletedHandler = ToGuid(PinterfaceIid(KR_COMPLETED_HANDLER "b1)"));

// The handlers the feed registers answer QueryInterface for these.
inline constexpr GUID kIidSessionsChangedHandler = ToGuid(PinterfaceIid(
    KR_TYPED_HANDLER KR_RC_MANAGER
    ";rc(Windows.Media.Control.SessionsChangedEventArgs;{bbf0cd32-42c4-5a58-b317-f34bbfbd26e0}))"));
inline constexpr GUID kIidTimelineChangedHandler = ToGuid(
    PinterfaceIid(KR_TYPED_HANDLER KR_RC_SESSION
                  ";rc(Windows.Media.Control.TimelinePropertiesChangedEventArgs;{29033a2f-c923-"
                  "5a77-bcaf-055ff415ad32}))"));
inline constexpr GUID kIidPlaybackInfoChangedHandler = ToGuid(
    PinterfaceIid(KR_TYPED_HANDLER KR_RC_SESSION
                  ";rc(Windows.Media.Control.PlaybackInfoChangedEventArgs;{786756c2-bc0d-50a5-"
                  "8807-054291fef139}))"));
inline constexpr GUID kIidMediaPropertiesChangedHandler = ToGuid(
    PinterfaceIid(KR_TYPED_HANDLER KR_RC_SESSION
                  ";rc(Windows.Media.Control.MediaPropertiesChangedEventArgs;{7d3741cb-adf0-5cef-"
                  "91ba-cfabcdd77678}))"));

#undef KR_RC_MANAGER
#undef KR_RC_SESSION
#undef KR_RC_MEDIA_PROPERTIES
#undef KR_COMPLETED_HANDLER
#undef KR_TYPED_HANDLER

}  // namespace winrt::media

#endif  // KESTRUNE_WINRT_MEDIA_CONTROL_H_
