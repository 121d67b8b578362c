#ifndef KESTRUNE_TESTS_SUPPORT_MEDIA_FAKES_H_
#define KESTRUNE_TESTS_SUPPORT_MEDIA_FAKES_H_

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/winrt_fakes.h"
#include "winrt/media_control.h"

namespace kr_test {

namespace mc = winrt::media;
using winrt::ComPtr;
using Token = winrt::EventRegistrationToken;

#define KR_NOT_IMPLEMENTED(name, ...)                    \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { \
    return E_NOTIMPL;                                    \
  }
#define KR_HANDS_SELF(name, Interface)                       \
  HRESULT STDMETHODCALLTYPE name(Interface** out) override { \
    return Hand<Interface>(this, out);                       \
  }
#define KR_COMMAND(name, word)                                      \
  HRESULT STDMETHODCALLTYPE name(mc::BoolOperation** op) override { \
    return Do(word, op);                                            \
  }
// add_ and remove_ of an event kept in |member|.
#define KR_EVENT(name, Handler, member)                                           \
  HRESULT STDMETHODCALLTYPE add_##name(Handler* handler, Token* token) override { \
    return member.Add(handler, token);                                            \
  }                                                                               \
  HRESULT STDMETHODCALLTYPE remove_##name(Token token) override {                 \
    return member.Remove(token);                                                  \
  }

template <typename T>
HRESULT Hand(T* object, T** out) {
  object->AddRef();
  *out = object;
  return S_OK;
}

// "{xxxxxxxx-...}" as a GUID.
GUID Iid(const wchar_t* text);
HRESULT Text(std::mutex& lock, const std::wstring& text, HSTRING* value);

// One event: keeps its handlers, asked for by the delegate's instance IID as
// the runtime asks, and calls them outside its lock, on the raising thread.
template <typename Handler>
class FakeEvent {
 public:
  explicit FakeEvent(const wchar_t* iid) : iid_(Iid(iid)) {}
  HRESULT Add(Handler* handler, Token* token) {
    ComPtr<Handler> held;
    HRESULT hr = handler->QueryInterface(iid_, held.put_void());
    std::lock_guard<std::mutex> guard(lock_);
    if (SUCCEEDED(hr)) {
      handlers_[token->value = ++last_token_] = held;
    }
    return hr;
  }
  HRESULT Remove(Token token) {
    std::lock_guard<std::mutex> guard(lock_);
    handlers_.erase(token.value);
    return S_OK;
  }
  template <typename Sender>
  void Raise(Sender* sender) {
    std::unique_lock<std::mutex> guard(lock_);
    std::map<int64_t, ComPtr<Handler>> handlers = handlers_;
    guard.unlock();
    for (auto& entry : handlers) {
      entry.second->Invoke(sender, nullptr);
    }
  }
  int Count() {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(handlers_.size());
  }

 private:
  const GUID iid_;
  std::mutex lock_;
  int64_t last_token_ = 0;
  std::map<int64_t, ComPtr<Handler>> handlers_;
};

// A media session, also its own media properties, playback info, timeline and
// operations, which complete at once unless |hold| keeps them until canceled.
class FakeSession final : public FakeObject<FakeSession,
                                            mc::ISession,
                                            mc::IMediaProperties,
                                            mc::IPlaybackInfo,
                                            mc::ITimelineProperties,
                                            winrt::IAsyncOperation<mc::IMediaProperties*>,
                                            mc::BoolOperation,
                                            winrt::IAsyncInfo> {
 public:
  using TrackDone = winrt::AsyncOperationCompletedHandler<mc::IMediaProperties*>;
  using BoolDone = winrt::AsyncOperationCompletedHandler<boolean>;

  FakeSession(FakeRuntimeLog* log, const wchar_t* id)
      : FakeObject(log),
        media_changed(L"{0f2ce2b7-afa7-5ed0-8cb6-8c40cf9b3a5f}"),
        playback_changed(L"{2bdf1426-d41f-5896-897f-efc0b0fa7392}"),
        timeline_changed(L"{e8bf62af-fac1-5fff-9053-0bf191ae777e}"),
        id_(id) {}
  void* Find(REFIID iid) {
    return iid == winrt::kIidAsyncInfo ? static_cast<winrt::IAsyncInfo*>(this) : nullptr;
  }

  std::mutex lock;  // guards the texts
  std::wstring title = L"Title";
  std::wstring artist = L"Artist";
  std::atomic<int32_t> status{4};
  std::atomic<int64_t> end_time{0};
  std::atomic<int64_t> position{0};
  std::atomic<HRESULT> id_error{S_OK};  // the id cannot be read
  std::atomic<bool> hold{false};
  std::vector<std::string> commands;  // under |lock|

  FakeEvent<mc::MediaPropertiesChangedHandler> media_changed;
  FakeEvent<mc::PlaybackInfoChangedHandler> playback_changed;
  FakeEvent<mc::TimelineChangedHandler> timeline_changed;
  int HandlerCount() {
    return media_changed.Count() + playback_changed.Count() + timeline_changed.Count();
  }
  int Held();
  // Completes the held operations now, on this thread.
  void ReleaseHeld();
  void SetTitle(const wchar_t* text) {
    std::lock_guard<std::mutex> guard(lock);
    title = text;
  }

  HRESULT STDMETHODCALLTYPE get_SourceAppUserModelId(HSTRING* value) override;
  KR_HANDS_SELF(TryGetMediaPropertiesAsync, winrt::IAsyncOperation<mc::IMediaProperties*>)
  KR_HANDS_SELF(GetTimelineProperties, mc::ITimelineProperties)
  KR_HANDS_SELF(GetPlaybackInfo, mc::IPlaybackInfo)
  KR_HANDS_SELF(GetResults, mc::IMediaProperties)
  KR_COMMAND(TryPlayAsync, "play")
  KR_COMMAND(TryPauseAsync, "pause")
  KR_COMMAND(TrySkipNextAsync, "next")
  KR_COMMAND(TrySkipPreviousAsync, "prev")
  KR_COMMAND(TryTogglePlayPauseAsync, "toggle")
  KR_NOT_IMPLEMENTED(TryStopAsync, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryRecordAsync, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryFastForwardAsync, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryRewindAsync, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryChangeChannelUpAsync, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryChangeChannelDownAsync, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryChangeAutoRepeatModeAsync, int32_t, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryChangePlaybackRateAsync, double, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryChangeShuffleActiveAsync, boolean, mc::BoolOperation**)
  KR_NOT_IMPLEMENTED(TryChangePlaybackPositionAsync, int64_t, mc::BoolOperation**)
  KR_EVENT(TimelinePropertiesChanged, mc::TimelineChangedHandler, timeline_changed)
  KR_EVENT(PlaybackInfoChanged, mc::PlaybackInfoChangedHandler, playback_changed)
  KR_EVENT(MediaPropertiesChanged, mc::MediaPropertiesChangedHandler, media_changed)

  HRESULT STDMETHODCALLTYPE get_Title(HSTRING* v) override { return Text(lock, title, v); }
  HRESULT STDMETHODCALLTYPE get_Artist(HSTRING* v) override { return Text(lock, artist, v); }
  HRESULT STDMETHODCALLTYPE get_PlaybackStatus(mc::PlaybackStatus* v) override {
    return *v = mc::PlaybackStatus(status.load()), S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_EndTime(winrt::TimeSpan* v) override {
    return v->duration = end_time, S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Position(winrt::TimeSpan* v) override {
    return v->duration = position, S_OK;
  }
  KR_NOT_IMPLEMENTED(get_Subtitle, HSTRING*)
  KR_NOT_IMPLEMENTED(get_AlbumArtist, HSTRING*)
  KR_NOT_IMPLEMENTED(get_Controls, IInspectable**)
  KR_NOT_IMPLEMENTED(get_StartTime, winrt::TimeSpan*)
  KR_NOT_IMPLEMENTED(get_MinSeekTime, winrt::TimeSpan*)
  KR_NOT_IMPLEMENTED(get_MaxSeekTime, winrt::TimeSpan*)

  HRESULT STDMETHODCALLTYPE put_Completed(TrackDone* handler) override {
    return Complete(handler, L"{84593a3d-951a-55b6-8353-5205e577797b}");
  }
  HRESULT STDMETHODCALLTYPE put_Completed(BoolDone* handler) override {
    return Complete(handler, L"{c1d3d1a2-ae17-5a5f-b5a2-bdcc8844889a}");
  }
  HRESULT STDMETHODCALLTYPE GetResults(boolean* results) override { return *results = 1, S_OK; }
  HRESULT STDMETHODCALLTYPE get_Status(winrt::AsyncStatus* status) override {
    return *status = winrt::AsyncStatus::kCompleted, S_OK;
  }
  HRESULT STDMETHODCALLTYPE Cancel() override;
  KR_NOT_IMPLEMENTED(get_Completed, TrackDone**)
  KR_NOT_IMPLEMENTED(get_Completed, BoolDone**)
  KR_NOT_IMPLEMENTED(get_Id, UINT32*)
  KR_NOT_IMPLEMENTED(get_ErrorCode, HRESULT*)
  KR_NOT_IMPLEMENTED(Close)

 private:
  HRESULT Do(const char* command, mc::BoolOperation** operation);
  // Calls |handler| as completed now, or keeps it when held.
  template <typename Done>
  HRESULT Complete(Done* handler, const wchar_t* iid);

  const std::wstring id_;
  std::vector<std::function<void()>> held_;
};

// The session manager, also its statics, its session list and the operation
// that requests it (complete at once).
class FakeManager final : public FakeObject<FakeManager,
                                            mc::IManager,
                                            mc::IManagerStatics,
                                            mc::SessionList,
                                            winrt::IAsyncOperation<mc::IManager*>,
                                            winrt::IAsyncInfo> {
 public:
  using Done = winrt::AsyncOperationCompletedHandler<mc::IManager*>;

  explicit FakeManager(FakeRuntimeLog* log)
      : FakeObject(log), sessions_changed(L"{2e2a8630-dc8c-530a-9746-bc984d4b029e}") {}
  void* Find(REFIID iid);

  std::mutex lock;
  std::vector<ComPtr<FakeSession>> sessions;
  ComPtr<FakeSession> current;
  std::atomic<bool> request_null{false};  // RequestAsync's operation gives no manager
  void Set(std::vector<ComPtr<FakeSession>> listed, FakeSession* now_current = nullptr) {
    std::lock_guard<std::mutex> guard(lock);
    sessions = std::move(listed);
    current = ComPtr<FakeSession>::CopyFrom(now_current);
  }

  FakeEvent<mc::SessionsChangedHandler> sessions_changed;
  void RaiseSessionsChanged() { sessions_changed.Raise(static_cast<mc::IManager*>(this)); }

  KR_HANDS_SELF(RequestAsync, winrt::IAsyncOperation<mc::IManager*>)
  KR_HANDS_SELF(GetSessions, mc::SessionList)
  HRESULT STDMETHODCALLTYPE GetCurrentSession(mc::ISession** result) override;
  KR_EVENT(SessionsChanged, mc::SessionsChangedHandler, sessions_changed)
  KR_NOT_IMPLEMENTED(add_CurrentSessionChanged, mc::CurrentSessionChangedHandler*, Token*)
  KR_NOT_IMPLEMENTED(remove_CurrentSessionChanged, Token)
  HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, mc::ISession** item) override;
  HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override;
  KR_NOT_IMPLEMENTED(IndexOf, mc::ISession*, UINT32*, boolean*)
  KR_NOT_IMPLEMENTED(GetMany, UINT32, UINT32, mc::ISession**, UINT32*)
  HRESULT STDMETHODCALLTYPE put_Completed(Done* handler) override;
  HRESULT STDMETHODCALLTYPE GetResults(mc::IManager** results) override;
  HRESULT STDMETHODCALLTYPE get_Status(winrt::AsyncStatus* status) override {
    return *status = winrt::AsyncStatus::kCompleted, S_OK;
  }
  KR_NOT_IMPLEMENTED(get_Completed, Done**)
  KR_NOT_IMPLEMENTED(get_Id, UINT32*)
  KR_NOT_IMPLEMENTED(get_ErrorCode, HRESULT*)
  KR_NOT_IMPLEMENTED(Cancel)
  KR_NOT_IMPLEMENTED(Close)
};

#undef KR_NOT_IMPLEMENTED
#undef KR_HANDS_SELF
#undef KR_COMMAND
#undef KR_EVENT

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_MEDIA_FAKES_H_
