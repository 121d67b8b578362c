#ifndef KESTRUNE_RUNNER_FLUTTER_WINDOW_H_
#define KESTRUNE_RUNNER_FLUTTER_WINDOW_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <flutter/dart_project.h>
#include <flutter/encodable_value.h>
#include <flutter/flutter_view_controller.h>
#include "capsule/pipe_outbox.h"
#include <flutter/method_channel.h>
#include "feeds/poll_pacer.h"
#include "feeds/media/media_feed.h"
#include "feeds/system/sample_pacer.h"
#include "icons/icon_channel.h"
#include "runner/unique_resource.h"
#include "runner/win32_window.h"

using Channel = flutter::MethodChannel<flutter::EncodableValue>;

// The one top-level window of each process: hosts the Flutter view and owns
// the process's channels and background threads.
class FlutterWindow : public Win32Window {
 public:
  explicit FlutterWindow(const flutter::DartProject& project);
  ~FlutterWindow() override;

 protected:
  bool OnCreate() override;
  LRESULT MessageHandler(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

 public:
  // Takes down the channels, hooks, threads and the capsule; also used by the
  // tray's quit entry.
  void OnDestroy() override;

  // The record. Fields are public: the window's handlers, hooks and threads in
  // other files work on them, as on the rest of the process-wide state.
  flutter::DartProject project;
  std::unique_ptr<flutter::FlutterViewController> controller;
  std::unique_ptr<Channel> hotkey_channel;
  std::atomic<bool> channels_ready{false};
  std::unique_ptr<Channel> hitregion_channel;
  std::unique_ptr<Channel> window_channel;
  std::unique_ptr<Channel> icon_channel;
  // Extracts icons off the main thread for the icon channel.
  IconWorker icon_worker;
  RECT hit_rect{};
  bool is_main = false;
  bool is_capsule = false;

  // Capsule process and pipe.
  PROCESS_INFORMATION capsule_process{};
  // Read by the focus-polling thread.
  std::atomic<uint32_t> capsule_pid{0};
  HANDLE capsule_pipe = INVALID_HANDLE_VALUE;
  std::thread pipe_thread;
  std::atomic<bool> pipe_running{false};
  // The pipe thread sleeps on these and on its pipe I/O only: set when a
  // message is queued, and when teardown stops it. They live as long as the
  // window, since any thread may still queue after the pipe has ended.
  UniqueHandle pipe_wake_event{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle pipe_stop_event{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  // Queued messages for the capsule, with their own lock; bounded.
  PipeOutbox pipe_outbox;

  // Media-session watcher.
  std::unique_ptr<Channel> smtc_channel;
  std::thread smtc_thread;
  std::atomic<bool> smtc_running{false};
  std::mutex smtc_event_lock;
  std::optional<flutter::EncodableMap> pending_track_change;
  std::optional<flutter::EncodableMap> pending_playback;
  std::optional<flutter::EncodableMap> pending_progress;
  // Stop event, poll pacing, throttle clock and the playback command threads.
  MediaFeed media_feed;

  // System monitor.
  std::unique_ptr<Channel> system_monitor_channel;
  std::thread monitor_thread;
  std::atomic<bool> monitor_running{false};
  std::mutex snapshot_lock;
  std::deque<flutter::EncodableMap> snapshot_history;
  std::optional<flutter::EncodableMap> pending_snapshot;
  // Paces the sampling thread; stopping it ends the thread's wait at once.
  SamplePacer monitor_pacer;

  // Chat-notification listener.
  std::unique_ptr<Channel> wechat_channel;
  std::thread wechat_thread;
  std::atomic<bool> wechat_running{false};
  // Paces the polls, every 2000 ms; stopping it ends the thread's waits at once.
  PollPacer wechat_pacer{2000};

  // Calendar sync.
  std::thread calendar_thread;
  std::atomic<bool> calendar_running{false};
  PollPacer calendar_pacer{300000};

  HWND tray_menu_window = nullptr;

 private:
  void RegisterPlugins(flutter::FlutterEngine* engine);
  // Makes this the window that hooks, threads and other threads' work act on.
  void AttachToProcess();
};

#endif  // KESTRUNE_RUNNER_FLUTTER_WINDOW_H_
