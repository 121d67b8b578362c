#include "icons/icon_channel.h"

#include <objbase.h>

#include "runner/debug_log.h"
#include "runner/main_thread_tasks.h"

namespace {

// A single-threaded COM apartment for the shell's link objects, for the life
// of the thread.
class ComApartment {
 public:
  ComApartment() : ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (ok_) {
      ::CoUninitialize();
    }
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ok_;
};

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

IconItem AppItem(const EncodableValue& value) {
  IconItem item;
  const auto* map = std::get_if<EncodableMap>(&value);
  if (map == nullptr) {
    return item;
  }
  auto path = map->find(EncodableValue("path"));
  if (path == map->end()) {
    return item;
  }
  if (const auto* text = std::get_if<std::string>(&path->second)) {
    return IconItem{IconItem::Kind::kPath, *text};
  }
  item.kind = IconItem::Kind::kPathNotString;
  return item;
}

IconItem FileItem(const EncodableValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    return IconItem{IconItem::Kind::kPath, *text};
  }
  return IconItem{};
}

}  // namespace

IconWorker::~IconWorker() {
  Stop();
}

void IconWorker::Submit(IconRequest request, IconResult result) {
  if (!running_) {
    if (thread_.joinable()) {
      thread_.join();
    }
    running_ = true;
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::exception& error) {
      // Nobody would ever answer a queued list: this call is refused now, and
      // the next one tries again.
      running_ = false;
      DebugLogF("[Icon] extraction thread not started: %s", error.what());
      result->Error("THREAD_FAILED", error.what());
      return;
    }
  }
  uint64_t id = next_id_++;
  unanswered_.emplace(id, std::move(result));
  {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.emplace_back(id, std::move(request));
  }
  wake_.notify_one();
}

void IconWorker::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    running_ = false;
    queue_.clear();
  }
  wake_.notify_one();
  if (thread_.joinable()) {
    thread_.join();
  }
  unanswered_.clear();
}

void IconWorker::Run() {
  ComApartment apartment;
  for (;;) {
    std::pair<uint64_t, IconRequest> next;
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return !running_ || !queue_.empty(); });
      if (!running_) {
        return;
      }
      next = std::move(queue_.front());
      queue_.pop_front();
    }
    IconReply reply;
    try {
      reply = ExtractIcons(next.second, running_);
    } catch (...) {
      // Out of memory within a list: it gets an empty answer, the thread goes on.
      DebugLog("[Icon] extraction dropped an exception");
    }
    if (!running_) {
      return;
    }
    // Carries only values and this worker, which outlives every drain: the
    // window stops it before it detaches the tasks.
    if (!GetMainThreadTasks().Post(
            [this, id = next.first, reply = std::move(reply)] { Finish(id, reply); })) {
      // Its call is answered empty when the worker stops.
      DebugLog("[Icon] answer not handed to the main thread");
    }
  }
}

void IconWorker::Finish(uint64_t id, const IconReply& reply) {
  auto waiting = unanswered_.find(id);
  if (waiting == unanswered_.end()) {
    return;
  }
  IconResult result = std::move(waiting->second);
  unanswered_.erase(waiting);
  if (reply.no_app_data) {
    result->Error("NO_APPDATA", "");
  } else {
    result->Success(EncodableValue(reply.entries));
  }
}

void IconChannelHandler(IconWorker* worker,
                        const flutter::MethodCall<EncodableValue>& call,
                        IconResult result) {
  const std::string& method = call.method_name();
  const bool app = method == "extractAppIcons";
  if (!app && method != "extractFileIcons") {
    result->NotImplemented();
    return;
  }
  const EncodableValue* arguments = call.arguments();
  const auto* list = arguments != nullptr ? std::get_if<EncodableList>(arguments) : nullptr;
  if (app) {
    DebugLog("[Icon] extractAppIcons called");
    if (arguments == nullptr || arguments->IsNull()) {
      DebugLog("[Icon] no args");
    } else if (list == nullptr) {
      DebugLog("[Icon] args not a list");
    }
  }
  if (list == nullptr) {
    result->Success();
    return;
  }
  IconRequest request{app ? IconMethod::kApp : IconMethod::kFile, {}};
  request.items.reserve(list->size());
  for (const EncodableValue& value : *list) {
    request.items.push_back(app ? AppItem(value) : FileItem(value));
  }
  worker->Submit(std::move(request), std::move(result));
}
