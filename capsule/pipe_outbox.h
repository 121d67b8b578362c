#ifndef KESTRUNE_CAPSULE_PIPE_OUTBOX_H_
#define KESTRUNE_CAPSULE_PIPE_OUTBOX_H_

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

// Messages waiting for the capsule pipe, oldest first. Any thread may push; the
// pipe thread takes them all at once and writes them after letting go of the
// lock, so a pusher never waits on the capsule. The queue is bounded so that a
// capsule that stops reading cannot make the host grow without limit.
class PipeOutbox {
 public:
  enum class PushOutcome {
    kQueued,
    // The message alone exceeds the byte cap and was dropped.
    kTooLarge,
    // Close() was called: nobody will ever write the message.
    kClosed,
  };

  struct PushResult {
    PushOutcome outcome = PushOutcome::kQueued;
    // kQueued: older messages dropped to make room for this one.
    size_t dropped_oldest = 0;
    // kClosed: this is the first message refused since Close(), so the caller
    // can report the start of dropping once.
    bool first_refusal = false;
  };

  // A few MiB: far more than the capsule ever needs queued at once.
  static constexpr size_t kDefaultByteCap = 4 * 1024 * 1024;

  explicit PipeOutbox(size_t byte_cap = kDefaultByteCap);
  PipeOutbox(const PipeOutbox&) = delete;
  PipeOutbox& operator=(const PipeOutbox&) = delete;

  // Queues |message| behind the others, first dropping the oldest ones while
  // the queued bytes would exceed the cap.
  PushResult Push(std::string message);

  // Removes and returns every queued message, oldest first.
  std::deque<std::string> TakeAll();

  // Drops what is queued and refuses every later push. For when
  // the pipe thread has ended for good.
  void Close();

  size_t queued_bytes() const;

 private:
  const size_t byte_cap_;
  mutable std::mutex lock_;
  std::deque<std::string> messages_;
  size_t queued_bytes_ = 0;
  bool closed_ = false;
  bool refused_since_close_ = false;
};

#endif  // KESTRUNE_CAPSULE_PIPE_OUTBOX_H_
