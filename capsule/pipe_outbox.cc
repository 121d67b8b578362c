#include "capsule/pipe_outbox.h"

#include <deque>
#include <mutex>
#include <string>
#include <utility>

PipeOutbox::PipeOutbox(size_t byte_cap) : byte_cap_(byte_cap) {}

PipeOutbox::PushResult PipeOutbox::Push(std::string message) {
  PushResult result;
  std::lock_guard<std::mutex> hold(lock_);
  if (closed_) {
    result.outcome = PushOutcome::kClosed;
    result.first_refusal = !std::exchange(refused_since_close_, true);
    return result;
  }
  if (message.size() > byte_cap_) {
    result.outcome = PushOutcome::kTooLarge;
    return result;
  }
  while (!messages_.empty() && queued_bytes_ + message.size() > byte_cap_) {
    queued_bytes_ -= messages_.front().size();
    messages_.pop_front();
    ++result.dropped_oldest;
  }
  queued_bytes_ += message.size();
  messages_.push_back(std::move(message));
  return result;
}

std::deque<std::string> PipeOutbox::TakeAll() {
  std::deque<std::string> taken;
  std::lock_guard<std::mutex> hold(lock_);
  taken.swap(messages_);
  queued_bytes_ = 0;
  return taken;
}

void PipeOutbox::Close() {
  std::lock_guard<std::mutex> hold(lock_);
  closed_ = true;
  messages_.clear();
  queued_bytes_ = 0;
}

size_t PipeOutbox::queued_bytes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return queued_bytes_;
}
