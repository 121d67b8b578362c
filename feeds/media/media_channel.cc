// The kestrune/smtc channel and the playback command threads.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <exception>

#include "feeds/media/media_feed.h"
#include "feeds/media/media_session.h"
#include "feeds/media/media_watcher.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"

namespace {

using winrt::ComPtr;
using namespace winrt::media;

// Performs |command| on the current session. Every failure, no session
// included, ends it without a trace: the interface had its answer already.
void PerformCommand(MediaCommand command, HANDLE stop) {
  ComPtr<IManager> manager;
  ComPtr<ISession> session;
  if (FAILED(RequestSessionManager(stop, &manager)) || !manager ||
      FAILED(manager->GetCurrentSession(session.put())) || !session) {
    return;
  }
  ComPtr<BoolOperation> operation;
  HRESULT hr = E_UNEXPECTED;
  switch (command) {
    case MediaCommand::kPlayPause: {
      ComPtr<IPlaybackInfo> info;
      PlaybackStatus status = PlaybackStatus::kClosed;
      if (FAILED(hr = session->GetPlaybackInfo(info.put())) || !info ||
          FAILED(hr = info->get_PlaybackStatus(&status))) {
        return;
      }
      hr = PlayPauseRequestsPause(static_cast<int32_t>(status))
               ? session->TryPauseAsync(operation.put())
               : session->TryPlayAsync(operation.put());
      break;
    }
    case MediaCommand::kPlay:
      hr = session->TryPlayAsync(operation.put());
      break;
    case MediaCommand::kPause:
      hr = session->TryPauseAsync(operation.put());
      break;
    case MediaCommand::kNext:
      hr = session->TrySkipNextAsync(operation.put());
      break;
    case MediaCommand::kPrev:
      hr = session->TrySkipPreviousAsync(operation.put());
      break;
  }
  if (SUCCEEDED(hr)) {
    AwaitCommand(operation.get(), stop);
  }
}

}  // namespace

struct MediaCommands::Shared {
  std::mutex lock;
  std::condition_variable ended;
  int running = 0;
  // Set at teardown: ends the threads' waits for the media application.
  UniqueHandle stop{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

namespace {

void RunCommand(std::shared_ptr<MediaCommands::Shared> shared,
                MediaCommand command,
                std::shared_ptr<std::atomic<bool>> done) {
  if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    PerformCommand(command, shared->stop.get());
    ::CoUninitialize();
  }
  *done = true;
  std::lock_guard<std::mutex> guard(shared->lock);
  --shared->running;
  shared->ended.notify_all();
}

}  // namespace

MediaCommands::MediaCommands() : shared_(std::make_shared<Shared>()) {}

MediaCommands::~MediaCommands() {
  Shutdown();
}

bool MediaCommands::Launch(MediaCommand command) {
  JoinFinished();
  {
    std::lock_guard<std::mutex> guard(shared_->lock);
    if (shared_->running >= kMaxRunning) {
      return false;
    }
    ++shared_->running;
  }
  workers_.reserve(workers_.size() + 1);
  auto done = std::make_shared<std::atomic<bool>>(false);
  try {
    workers_.push_back({std::thread(RunCommand, shared_, command, done), done});
  } catch (...) {
    std::lock_guard<std::mutex> guard(shared_->lock);
    --shared_->running;
    throw;
  }
  return true;
}

void MediaCommands::JoinFinished() {
  std::erase_if(workers_, [](Worker& worker) {
    if (!*worker.done) {
      return false;
    }
    worker.thread.join();
    return true;
  });
}

void MediaCommands::Shutdown(DWORD wait_ms) {
  ::SetEvent(shared_->stop.get());
  {
    std::unique_lock<std::mutex> guard(shared_->lock);
    shared_->ended.wait_for(guard, std::chrono::milliseconds(wait_ms),
                            [&] { return shared_->running == 0; });
  }
  // A thread still inside a call to a hung media application is left to end on
  // its own; it holds what it uses.
  for (Worker& worker : workers_) {
    if (*worker.done) {
      worker.thread.join();
    } else {
      worker.thread.detach();
    }
  }
  workers_.clear();
  shared_ = std::make_shared<Shared>();
}

int MediaCommands::Running() const {
  std::lock_guard<std::mutex> guard(shared_->lock);
  return shared_->running;
}

MediaFeed::MediaFeed() : stop_event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  poll.SetPeriod(std::chrono::milliseconds(2000));
  now_ms = [] { return static_cast<uint64_t>(::GetTickCount64()); };
}

void SmtcChannelHandler(FlutterWindow* window,
                        const flutter::MethodCall<flutter::EncodableValue>& call,
                        std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
  const std::string& method = call.method_name();
  if (method == "startSmtcListener") {
    StartSmtcListener(window);
  } else if (method == "stopSmtcListener") {
    StopSmtcListener(window);
  } else if (std::optional<MediaCommand> command = MediaCommandNamed(method)) {
    // The answer never waits for the media application, nor tells its outcome.
    try {
      if (!window->media_feed.commands.Launch(*command)) {
        DebugLogF("[SMTC] Command dropped, %d running: %s", MediaCommands::kMaxRunning,
                  method.c_str());
      }
    } catch (const std::exception& error) {
      DebugLogF("[SMTC] Command thread not started: %s (%s)", method.c_str(), error.what());
    }
  } else {
    result->NotImplemented();
    return;
  }
  result->Success();
}
