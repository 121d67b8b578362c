#include "feeds/media/media_watcher.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "feeds/media/media_rules.h"
#include "feeds/media/media_session.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "winrt/delegate.h"
#include "winrt/event_registration.h"

namespace {

using flutter::EncodableMap;
using winrt::ComPtr;
using winrt::EventRegistrationToken;
using namespace winrt::media;

struct SessionTokens {
  EventRegistrationToken media_properties_token{};
  EventRegistrationToken playback_info_token{};
  EventRegistrationToken timeline_properties_token{};
};

// What one watcher thread shares with the callbacks it registers. Callbacks
// hold it, so it lives as long as the last of them.
struct MediaWatch {
  explicit MediaWatch(FlutterWindow* window)
      : window(window),
        stop(window->media_feed.stop_event.get()),
        now_ms(window->media_feed.now_ms),
        progress_interval_ms(window->media_feed.progress_interval_ms) {}

  bool Stopping() const { return ::WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }
  bool Subscribed(const std::wstring& id) {
    std::lock_guard<std::mutex> guard(maps_lock);
    return tokens.contains(id);
  }

  FlutterWindow* const window;
  // The feed's stop event, which outlives every watcher.
  const HANDLE stop;
  const std::function<uint64_t()> now_ms;
  const uint64_t progress_interval_ms;

  // The token map and the last-progress map.
  std::mutex maps_lock;
  std::map<std::wstring, SessionTokens> tokens;
  ProgressThrottle progress;
  // One subscription at a time, so that a session found by two threads at
  // once is subscribed once.
  std::mutex subscribe_lock;

  // Callbacks in flight, and whether new ones may still enter.
  std::mutex gate_lock;
  std::condition_variable gate_left;
  int in_flight = 0;
  bool closed = false;
};

// Marks a callback in flight; a callback that finds the gate closed does nothing.
class CallbackScope {
 public:
  explicit CallbackScope(MediaWatch& watch) : watch_(watch) {
    std::lock_guard<std::mutex> guard(watch_.gate_lock);
    entered_ = !watch_.closed;
    watch_.in_flight += entered_ ? 1 : 0;
  }
  ~CallbackScope() {
    if (entered_) {
      std::lock_guard<std::mutex> guard(watch_.gate_lock);
      --watch_.in_flight;
      watch_.gate_left.notify_all();
    }
  }
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;

  // Entered, and the watcher is not stopping.
  bool Active() const { return entered_ && !watch_.Stopping(); }

 private:
  MediaWatch& watch_;
  bool entered_ = false;
};

// Closes the gate and waits until every callback that entered has left.
void CloseGate(MediaWatch& watch) {
  std::unique_lock<std::mutex> guard(watch.gate_lock);
  watch.closed = true;
  watch.gate_left.wait(guard, [&] { return watch.in_flight == 0; });
}

// An event handler delegate over a callable; the runtime may call it on any
// thread, at the same time, and keep it after its removal.
template <typename Sender, typename Args>
class EventDelegate final : public winrt::Delegate<EventDelegate<Sender, Args>,
                                                   winrt::TypedEventHandler<Sender*, Args*>> {
 public:
  using Callback = std::function<void(Sender*)>;

  static ComPtr<EventDelegate> Make(REFIID iid, Callback callback) {
    ComPtr<EventDelegate> handler;
    handler.attach(std::make_unique<EventDelegate>(iid, std::move(callback)).release());
    return handler;
  }
  EventDelegate(REFIID iid, Callback callback)
      : EventDelegate::Delegate(iid), callback_(std::move(callback)) {}

  HRESULT STDMETHODCALLTYPE Invoke(Sender* sender, Args*) noexcept override {
    if (!sender) {
      return E_POINTER;
    }
    try {
      callback_(sender);
      return S_OK;
    } catch (...) {
      return E_FAIL;
    }
  }

 private:
  const Callback callback_;
};

// Hands |payload| to the main thread: the slot of |kind| under the lock, then
// the message. Dropped once the watcher stops or the window's handle is gone.
void Publish(MediaWatch& watch, MediaEventKind kind, EncodableMap payload) {
  HWND target = watch.window->GetHandle();
  if (watch.Stopping() || target == nullptr) {
    return;
  }
  FlutterWindow* window = watch.window;
  {
    std::lock_guard<std::mutex> guard(window->smtc_event_lock);
    std::optional<EncodableMap>& slot =
        kind == MediaEventKind::kTrackChange ? window->pending_track_change
        : kind == MediaEventKind::kPlayback  ? window->pending_playback
                                             : window->pending_progress;
    slot = std::move(payload);
  }
  ::PostMessageW(target, kSmtcEventMsg, static_cast<WPARAM>(kind), 0);
}

void PublishTrackChange(MediaWatch& watch, const TrackReading& track) {
  if (track.title.empty()) {
    return;
  }
  DebugLogF("[SMTC] track_change: %s - %s", track.title.c_str(), track.artist.c_str());
  Publish(watch, MediaEventKind::kTrackChange, TrackChangePayload(track.title, track.artist));
}

void PublishPlayback(MediaWatch& watch,
                     const TrackReading& track,
                     const PlaybackReading& playback) {
  DebugLogF("[SMTC] playback: %s (progress=%.2f)", playback.status, playback.progress);
  Publish(watch, MediaEventKind::kPlayback,
          PlaybackPayload(track.title, track.artist, playback.status, playback.progress));
}

void PublishStopped(MediaWatch& watch) {
  Publish(watch, MediaEventKind::kPlayback, PlaybackPayload("", "", "stopped", 0.0));
}

void PushCurrentState(MediaWatch& watch, ISession* session) {
  TrackReading track = ReadTrack(session, watch.stop);
  PublishTrackChange(watch, track);
  PublishPlayback(watch, track, ReadPlayback(session));
}

void OnMediaPropertiesChanged(MediaWatch& watch, const std::wstring& id, ISession* sender) {
  CallbackScope scope(watch);
  if (scope.Active()) {
    DebugLogF("[SMTC] MediaPropertiesChanged: %ls", id.c_str());
    PublishTrackChange(watch, ReadTrack(sender, watch.stop));
  }
}

void OnPlaybackInfoChanged(MediaWatch& watch, const std::wstring& id, ISession* sender) {
  CallbackScope scope(watch);
  if (scope.Active()) {
    DebugLogF("[SMTC] PlaybackInfoChanged: %ls", id.c_str());
    TrackReading track = ReadTrack(sender, watch.stop);
    PublishPlayback(watch, track, ReadPlayback(sender));
  }
}

void OnTimelinePropertiesChanged(MediaWatch& watch, const std::wstring& id, ISession* sender) {
  CallbackScope scope(watch);
  if (!scope.Active()) {
    return;
  }
  const uint64_t now = watch.now_ms();
  {
    std::lock_guard<std::mutex> guard(watch.maps_lock);
    if (!watch.progress.Accept(id, now, watch.progress_interval_ms)) {
      return;
    }
  }
  Publish(watch, MediaEventKind::kProgress, ProgressPayload(ReadPlayback(sender).progress));
}

// Registers the session's three handlers once; on failure none stays registered.
HRESULT SubscribeSession(const std::shared_ptr<MediaWatch>& watch, ISession* session) {
  if (!session) {
    return E_POINTER;
  }
  std::wstring id;
  HRESULT hr = ReadSessionId(session, &id);
  if (FAILED(hr)) {
    return hr;
  }
  std::lock_guard<std::mutex> subscribing(watch->subscribe_lock);
  if (watch->Subscribed(id)) {
    return S_OK;
  }
  DebugLogF("[SMTC] Subscribe session: %ls", id.c_str());
  auto media = EventDelegate<ISession, IMediaPropertiesChangedEventArgs>::Make(
      kIidMediaPropertiesChangedHandler,
      [watch, id](ISession* sender) { OnMediaPropertiesChanged(*watch, id, sender); });
  auto playback = EventDelegate<ISession, IPlaybackInfoChangedEventArgs>::Make(
      kIidPlaybackInfoChangedHandler,
      [watch, id](ISession* sender) { OnPlaybackInfoChanged(*watch, id, sender); });
  auto timeline = EventDelegate<ISession, ITimelinePropertiesChangedEventArgs>::Make(
      kIidTimelineChangedHandler,
      [watch, id](ISession* sender) { OnTimelinePropertiesChanged(*watch, id, sender); });
  SessionTokens tokens;
  if (FAILED(
          hr = session->add_MediaPropertiesChanged(media.get(), &tokens.media_properties_token))) {
    return hr;
  }
  if (FAILED(hr = session->add_PlaybackInfoChanged(playback.get(), &tokens.playback_info_token))) {
    session->remove_MediaPropertiesChanged(tokens.media_properties_token);
    return hr;
  }
  if (FAILED(hr = session->add_TimelinePropertiesChanged(timeline.get(),
                                                         &tokens.timeline_properties_token))) {
    session->remove_MediaPropertiesChanged(tokens.media_properties_token);
    session->remove_PlaybackInfoChanged(tokens.playback_info_token);
    return hr;
  }
  std::lock_guard<std::mutex> guard(watch->maps_lock);
  watch->tokens[id] = tokens;
  return S_OK;
}

// Subscribes the sessions [0, count) of |sessions|; the first error ends it.
HRESULT SubscribeAll(const std::shared_ptr<MediaWatch>& watch,
                     SessionList* sessions,
                     UINT32 count) {
  for (UINT32 i = 0; i < count && !watch->Stopping(); ++i) {
    ComPtr<ISession> session;
    HRESULT hr = sessions->GetAt(i, session.put());
    if (FAILED(hr) || FAILED(hr = SubscribeSession(watch, session.get()))) {
      return hr;
    }
  }
  return S_OK;
}

HRESULT SyncOnSessionsChanged(const std::shared_ptr<MediaWatch>& watch, IManager* manager) {
  DebugLog("[SMTC] SessionsChanged event");
  ComPtr<SessionList> sessions;
  UINT32 count = 0;
  HRESULT hr = ReadSessions(manager, &sessions, &count);
  if (FAILED(hr)) {
    return hr;
  }
  DebugLogF("[SMTC] SessionsChanged: %u sessions", count);
  std::set<std::wstring> present;
  for (UINT32 i = 0; i < count; ++i) {
    ComPtr<ISession> session;
    std::wstring id;
    if (FAILED(hr = sessions->GetAt(i, session.put())) || !session ||
        FAILED(hr = ReadSessionId(session.get(), &id))) {
      return FAILED(hr) ? hr : E_POINTER;
    }
    present.insert(id);
    if (!watch->Subscribed(id) && FAILED(hr = SubscribeSession(watch, session.get()))) {
      return hr;
    }
  }
  {
    // The sessions that went are gone with their registrations.
    std::lock_guard<std::mutex> guard(watch->maps_lock);
    std::erase_if(watch->tokens, [&](const auto& entry) {
      if (present.contains(entry.first)) {
        return false;
      }
      watch->progress.Forget(entry.first);
      return true;
    });
  }
  ComPtr<ISession> current;
  if (FAILED(hr = manager->GetCurrentSession(current.put()))) {
    return hr;
  }
  if (current) {
    PushCurrentState(*watch, current.get());
  } else if (count == 0) {
    PublishStopped(*watch);
  }
  return S_OK;
}

void OnSessionsChanged(const std::shared_ptr<MediaWatch>& watch, IManager* manager) {
  CallbackScope scope(*watch);
  if (!scope.Active()) {
    return;
  }
  try {
    if (HRESULT hr = SyncOnSessionsChanged(watch, manager); FAILED(hr)) {
      DebugLogF("[SMTC] SessionsChanged hresult_error: 0x%08X", static_cast<unsigned>(hr));
    }
  } catch (...) {
    DebugLog("[SMTC] SessionsChanged unknown exception");
  }
}

HRESULT InitialSync(const std::shared_ptr<MediaWatch>& watch, IManager* manager) {
  ComPtr<SessionList> sessions;
  UINT32 count = 0;
  HRESULT hr = ReadSessions(manager, &sessions, &count);
  if (FAILED(hr)) {
    return hr;
  }
  DebugLogF("[SMTC] Initial sync: %u sessions", count);
  // The count is read again before each step: sessions may go meanwhile.
  for (UINT32 i = 0;; ++i) {
    ComPtr<ISession> session;
    if (FAILED(hr = sessions->get_Size(&count)) || i >= count) {
      break;
    }
    if (FAILED(hr = sessions->GetAt(i, session.put())) ||
        FAILED(hr = SubscribeSession(watch, session.get()))) {
      return hr;
    }
  }
  if (FAILED(hr)) {
    return hr;
  }
  ComPtr<ISession> current;
  if (FAILED(hr = manager->GetCurrentSession(current.put()))) {
    return hr;
  }
  if (!current) {
    DebugLog("[SMTC] No current session - will retry after 5s");
  } else {
    DebugLog("[SMTC] Current session found, pushing state");
    PushCurrentState(*watch, current.get());
  }
  return S_OK;
}

// Once, after the first poll period: a fresh manager, which replaces the one in
// use when it lists sessions. Errors end it silently.
void Resync(const std::shared_ptr<MediaWatch>& watch, ComPtr<IManager>* manager) {
  ComPtr<IManager> fresh;
  ComPtr<SessionList> sessions;
  UINT32 count = 0;
  if (FAILED(RequestSessionManager(watch->stop, &fresh)) || !fresh ||
      FAILED(ReadSessions(fresh.get(), &sessions, &count))) {
    return;
  }
  DebugLogF("[SMTC] 5s retry: %u sessions", count);
  if (count == 0) {
    return;
  }
  *manager = fresh;
  ComPtr<ISession> current;
  if (SUCCEEDED(SubscribeAll(watch, sessions.get(), count)) &&
      SUCCEEDED(fresh->GetCurrentSession(current.put())) && current) {
    PushCurrentState(*watch, current.get());
  }
}

// One poll pass; an error abandons the rest of it silently.
void PollPass(const std::shared_ptr<MediaWatch>& watch, IManager* manager, bool* stopped_sent) {
  ComPtr<SessionList> sessions;
  ComPtr<ISession> current;
  UINT32 count = 0;
  if (FAILED(ReadSessions(manager, &sessions, &count)) ||
      FAILED(manager->GetCurrentSession(current.put()))) {
    return;
  }
  DebugLogF("[SMTC] Poll: %u sessions, curSession=%d", count, current ? 1 : 0);
  for (UINT32 i = 0; i < count; ++i) {
    ComPtr<ISession> session;
    std::wstring id;
    if (FAILED(sessions->GetAt(i, session.put())) || !session ||
        FAILED(ReadSessionId(session.get(), &id))) {
      return;
    }
    if (!watch->Subscribed(id)) {
      DebugLogF("[SMTC] Poll found new session: %ls", id.c_str());
      if (FAILED(SubscribeSession(watch, session.get()))) {
        return;
      }
    }
  }
  bool none_subscribed = false;
  {
    std::lock_guard<std::mutex> guard(watch->maps_lock);
    none_subscribed = watch->tokens.empty();
  }
  if (current && none_subscribed) {
    PushCurrentState(*watch, current.get());
  }
  if (current) {
    *stopped_sent = false;
  } else if (SUCCEEDED(sessions->get_Size(&count)) && count == 0 && !*stopped_sent) {
    *stopped_sent = true;
    PublishStopped(*watch);
  }
}

// Removes the handlers of every session in the token map that the manager still
// lists; an error skips to the next entry.
void RemoveSessionHandlers(MediaWatch& watch, IManager* manager) {
  std::map<std::wstring, SessionTokens> tokens;
  {
    std::lock_guard<std::mutex> guard(watch.maps_lock);
    tokens.swap(watch.tokens);
  }
  for (const auto& [id, entry] : tokens) {
    ComPtr<SessionList> sessions;
    UINT32 count = 0;
    if (FAILED(ReadSessions(manager, &sessions, &count))) {
      continue;
    }
    for (UINT32 i = 0; i < count; ++i) {
      ComPtr<ISession> session;
      std::wstring listed;
      if (FAILED(sessions->GetAt(i, session.put())) || !session ||
          FAILED(ReadSessionId(session.get(), &listed)) || listed != id) {
        continue;
      }
      session->remove_MediaPropertiesChanged(entry.media_properties_token);
      session->remove_PlaybackInfoChanged(entry.playback_info_token);
      session->remove_TimelinePropertiesChanged(entry.timeline_properties_token);
      break;
    }
  }
}

void RunWatcher(const std::shared_ptr<MediaWatch>& watch) {
  FlutterWindow* window = watch->window;
  ComPtr<IManager> manager;
  HRESULT hr = RequestSessionManager(watch->stop, &manager);
  if (SUCCEEDED(hr) && !manager) {
    DebugLog("[SMTC] RequestAsync returned null");
    return;
  }
  if (FAILED(hr)) {
    DebugLogF("[SMTC] hresult_error: 0x%08X", static_cast<unsigned>(hr));
    return;
  }
  DebugLog("[SMTC] Manager OK");

  auto handler = EventDelegate<IManager, ISessionsChangedEventArgs>::Make(
      kIidSessionsChangedHandler, [watch](IManager* sender) { OnSessionsChanged(watch, sender); });
  winrt::EventRegistration sessions_changed;
  hr = winrt::RegisterEvent(manager.get(), &IManager::add_SessionsChanged,
                            &IManager::remove_SessionsChanged, handler.get(), &sessions_changed);
  if (FAILED(hr)) {
    DebugLogF("[SMTC] hresult_error: 0x%08X", static_cast<unsigned>(hr));
    return;
  }

  try {
    if (hr = InitialSync(watch, manager.get()); FAILED(hr)) {
      DebugLogF("[SMTC] Initial sync hresult_error: 0x%08X", static_cast<unsigned>(hr));
    }
  } catch (...) {
    DebugLog("[SMTC] Initial sync unknown exception");
  }

  DebugLog("[SMTC] Event subscription started, entering poll loop");
  bool resynced = false;
  bool stopped_sent = false;
  MediaFeed& feed = window->media_feed;
  while (window->smtc_running && feed.poll.WaitForNextSample()) {
    try {
      if (!resynced) {
        resynced = true;
        Resync(watch, &manager);
      }
      PollPass(watch, manager.get(), &stopped_sent);
    } catch (...) {
      // A pass that fails is abandoned; the next one starts afresh.
    }
    ++feed.poll_passes;
  }

  // No new callback may start once the gate is closed, and those in flight end
  // promptly on the stop; then every session subscribed so far is unregistered.
  sessions_changed.reset();
  CloseGate(*watch);
  RemoveSessionHandlers(*watch, manager.get());
}

void MediaSessionWatcher(std::shared_ptr<MediaWatch> watch) {
  // When the apartment cannot be entered, the first runtime call fails and is logged.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  try {
    RunWatcher(watch);
  } catch (...) {
    DebugLog("[SMTC] Unknown exception");
  }
  CloseGate(*watch);
  if (SUCCEEDED(com)) {
    ::CoUninitialize();
  }
  watch->window->smtc_running = false;
}

}  // namespace

void StartSmtcListener(FlutterWindow* window) {
  if (window->smtc_running.exchange(true)) {
    return;
  }
  if (window->smtc_thread.joinable()) {
    window->smtc_thread.join();
  }
  MediaFeed& feed = window->media_feed;
  ::ResetEvent(feed.stop_event.get());
  feed.poll.Rearm();
  try {
    window->smtc_thread = std::thread(MediaSessionWatcher, std::make_shared<MediaWatch>(window));
  } catch (const std::exception& error) {
    DebugLogF("[SMTC] Watcher thread not started: %s", error.what());
    window->smtc_running = false;
  }
}

void StopSmtcListener(FlutterWindow* window) {
  window->smtc_running = false;
  ::SetEvent(window->media_feed.stop_event.get());
  window->media_feed.poll.Stop();
  if (window->smtc_thread.joinable()) {
    window->smtc_thread.join();
  }
  // Announced but not yet sent: the interface hears nothing after the stop.
  std::lock_guard<std::mutex> guard(window->smtc_event_lock);
  window->pending_track_change.reset();
  window->pending_playback.reset();
  window->pending_progress.reset();
}

void ShutDownMedia(FlutterWindow* window) {
  StopSmtcListener(window);
  window->media_feed.commands.Shutdown();
}
