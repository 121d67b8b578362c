#ifndef KESTRUNE_ICONS_ICON_CHANNEL_H_
#define KESTRUNE_ICONS_ICON_CHANNEL_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include <flutter/encodable_value.h>
#include <flutter/method_call.h>
#include <flutter/method_result.h>
#include "icons/icon_extraction.h"

using IconResult = std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>>;

// Extracts icons on a thread of its own, one request at a time in arrival
// order, so that a slow shell (an unreachable share, a slow extension) never
// holds up the main thread, which also runs the keyboard hook. Answers go back
// through the main-thread tasks. Everything but the thread's own body runs on
// the main thread.
class IconWorker {
 public:
  IconWorker() = default;
  ~IconWorker();
  IconWorker(const IconWorker&) = delete;
  IconWorker& operator=(const IconWorker&) = delete;

  // Queues |request|; |result| is answered on the main thread once it is done.
  void Submit(IconRequest request, IconResult result);

  // Ends the thread after its current item and joins it. Requests not answered
  // yet are dropped here, while the messenger their results answer through
  // still exists; an answer already on its way finds nothing to answer.
  void Stop();

  bool running() const { return running_; }

 private:
  void Run();
  void Finish(uint64_t id, const IconReply& reply);

  std::thread thread_;
  std::atomic<bool> running_{false};
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::pair<uint64_t, IconRequest>> queue_;  // under lock_
  // Main thread only.
  std::map<uint64_t, IconResult> unanswered_;
  uint64_t next_id_ = 1;
};

// The "kestrune/icon" handler: "extractAppIcons" and "extractFileIcons".
void IconChannelHandler(IconWorker* worker,
                        const flutter::MethodCall<flutter::EncodableValue>& call,
                        IconResult result);

#endif  // KESTRUNE_ICONS_ICON_CHANNEL_H_
