#include "feeds/media/media_session.h"

#include <winstring.h>

#include "feeds/media/media_rules.h"
#include "winrt/activation.h"
#include "winrt/async_wait.h"
#include "winrt/hstring.h"

using winrt::ComPtr;
using namespace winrt::media;

HRESULT RequestSessionManager(HANDLE stop, ComPtr<IManager>* manager) {
  manager->reset();
  ComPtr<IManagerStatics> statics;
  HRESULT hr = winrt::GetActivationFactory(kManagerClassId, kIidManagerStatics, &statics);
  if (FAILED(hr)) {
    return hr;
  }
  ComPtr<winrt::IAsyncOperation<IManager*>> operation;
  if (FAILED(hr = statics->RequestAsync(operation.put()))) {
    return hr;
  }
  if (!operation) {
    return E_POINTER;
  }
  return winrt::WaitForResults(operation.get(), kIidManagerCompletedHandler, manager->put(),
                               {.stop_event = stop});
}

HRESULT ReadSessionId(ISession* session, std::wstring* id) {
  winrt::HString text;
  HRESULT hr = session->get_SourceAppUserModelId(text.put());
  if (SUCCEEDED(hr)) {
    UINT32 length = 0;
    const wchar_t* raw = ::WindowsGetStringRawBuffer(text.get(), &length);
    id->assign(raw, length);
  }
  return hr;
}

HRESULT ReadSessions(IManager* manager, ComPtr<SessionList>* sessions, UINT32* count) {
  *count = 0;
  HRESULT hr = manager->GetSessions(sessions->put());
  if (SUCCEEDED(hr) && !*sessions) {
    hr = E_POINTER;
  }
  return FAILED(hr) ? hr : (*sessions)->get_Size(count);
}

TrackReading ReadTrack(ISession* session, HANDLE stop) {
  ComPtr<winrt::IAsyncOperation<IMediaProperties*>> operation;
  ComPtr<IMediaProperties> properties;
  if (FAILED(session->TryGetMediaPropertiesAsync(operation.put())) || !operation ||
      FAILED(winrt::WaitForResults(operation.get(), kIidMediaPropertiesCompletedHandler,
                                   properties.put(), {.stop_event = stop})) ||
      !properties) {
    return {};
  }
  winrt::HString title;
  winrt::HString artist;
  if (FAILED(properties->get_Title(title.put())) || FAILED(properties->get_Artist(artist.put()))) {
    return {};
  }
  return {winrt::HStringToUtf8(title.get()), winrt::HStringToUtf8(artist.get())};
}

PlaybackReading ReadPlayback(ISession* session) {
  PlaybackReading reading;
  ComPtr<IPlaybackInfo> info;
  PlaybackStatus status = PlaybackStatus::kClosed;
  if (SUCCEEDED(session->GetPlaybackInfo(info.put())) && info &&
      SUCCEEDED(info->get_PlaybackStatus(&status))) {
    reading.status = PlaybackStatusText(static_cast<int32_t>(status));
  }
  ComPtr<ITimelineProperties> timeline;
  winrt::TimeSpan end{};
  winrt::TimeSpan position{};
  // The end time is read again beside the position, which may have moved it.
  if (SUCCEEDED(session->GetTimelineProperties(timeline.put())) && timeline &&
      SUCCEEDED(timeline->get_EndTime(&end)) && end.duration > 0 &&
      SUCCEEDED(timeline->get_Position(&position)) && SUCCEEDED(timeline->get_EndTime(&end))) {
    reading.progress = ProgressRatio(position.duration, end.duration);
  }
  return reading;
}

HRESULT AwaitCommand(BoolOperation* operation, HANDLE stop) {
  if (!operation) {
    return E_POINTER;
  }
  boolean accepted = 0;
  return winrt::WaitForResults(operation, kIidBoolCompletedHandler, &accepted,
                               {.stop_event = stop});
}
