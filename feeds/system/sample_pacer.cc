#include "feeds/system/sample_pacer.h"

bool SamplePacer::WaitForNextSample() {
  std::unique_lock<std::mutex> guard(lock_);
  uint64_t advances = advances_;
  ++waiting_;
  wake_.wait_for(guard, period_, [&] { return stopped_ || advances_ != advances; });
  --waiting_;
  return !stopped_;
}

void SamplePacer::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopped_ = true;
  }
  wake_.notify_all();
}

void SamplePacer::Rearm() {
  std::lock_guard<std::mutex> guard(lock_);
  stopped_ = false;
}

void SamplePacer::SetPeriod(std::chrono::milliseconds period) {
  std::lock_guard<std::mutex> guard(lock_);
  period_ = period;
}

void SamplePacer::Advance() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    ++advances_;
  }
  wake_.notify_all();
}

int SamplePacer::Waiting() {
  std::lock_guard<std::mutex> guard(lock_);
  return waiting_;
}
