#ifndef KESTRUNE_FEEDS_SYSTEM_SAMPLE_PACER_H_
#define KESTRUNE_FEEDS_SYSTEM_SAMPLE_PACER_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Paces a sampling thread: a wait lasts one period, and ends at once when the
// pacer is stopped, so stopping never waits out a period.
class SamplePacer {
 public:
  static constexpr std::chrono::milliseconds kDefaultPeriod{1000};

  // Waits for the next sample; false once stopped.
  bool WaitForNextSample();
  // Ends every wait, now and until Rearm.
  void Stop();
  void Rearm();

  // Tests pace the samples themselves: a long period, and Advance to end the
  // waits in progress as if the period had passed.
  void SetPeriod(std::chrono::milliseconds period);
  void Advance();
  // Threads inside WaitForNextSample.
  int Waiting();

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  std::chrono::milliseconds period_ = kDefaultPeriod;
  bool stopped_ = false;
  uint64_t advances_ = 0;
  int waiting_ = 0;
};

#endif  // KESTRUNE_FEEDS_SYSTEM_SAMPLE_PACER_H_
