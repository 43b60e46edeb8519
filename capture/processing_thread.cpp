#include "capture/processing_thread.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>

#include "capture/capture.h"

namespace {
using Clock = std::chrono::steady_clock;

// Near the time a block is due the thread looks every millisecond, so a block
// waits at most about that long. Blocks come at a steady pace, so between
// them it sleeps through most of the gap: a wake-up costs more than the
// look itself, and most of the idle cost is wake-ups.
constexpr auto pollInterval = std::chrono::milliseconds(1);

class ArrivalPace {
 public:
  void arrived(Clock::time_point at) {
    if (last_ != Clock::time_point{}) {
      auto gap = at - last_;
      // A gap outside this range is a start, a stall or a burst, not the pace.
      if (gap >= std::chrono::microseconds(500) && gap <= std::chrono::milliseconds(250))
        period_ = period_ == Clock::duration::zero() ? gap : (period_ * 3 + gap) / 4;
    }
    last_ = at;
  }

  Clock::time_point nextLook(Clock::time_point now) const {
    if (period_ != Clock::duration::zero()) {
      Clock::duration early = std::max<Clock::duration>(std::chrono::milliseconds(2), period_ / 4);
      auto due = last_ + period_ - early;
      if (now < due) return due;
    }
    return now + pollInterval;
  }

 private:
  Clock::time_point last_{};
  Clock::duration period_ = Clock::duration::zero();
};

void nameThisThread(const char* name) {
#if defined(__APPLE__)
  pthread_setname_np(name);
#else
  pthread_setname_np(pthread_self(), name);
#endif
}
}  // namespace

ProcessingThread::~ProcessingThread() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void ProcessingThread::start(Capture& capture) {
  thread_ = std::thread([this, &capture] {
    nameThisThread("tavirel.dsp");
    ArrivalPace pace;
    while (!stop_.load(std::memory_order_relaxed)) {
      std::uint64_t before = capture.ring.released();
      if (serve(capture)) {
        if (capture.ring.released() != before) pace.arrived(Clock::now());
        continue;
      }
      std::this_thread::sleep_until(pace.nextLook(Clock::now()));
    }
  });
}

void ProcessingThread::requestCheck(std::uint64_t blocks, Check check) {
  check_.store(check, std::memory_order_release);
  checkAfter_.store(blocks + 1, std::memory_order_release);
}

bool ProcessingThread::serve(Capture& capture) {
  bool worked = false;
  BlockRing::Block block;
  while (capture.ring.front(block)) {
    capture.process(block.data, block.frames);
    capture.ring.release();
    worked = true;
  }
  std::uint64_t after = checkAfter_.load(std::memory_order_acquire);
  if (after != 0 && capture.ring.released() >= after - 1) {
    Check check = check_.load(std::memory_order_acquire);
    // Cleared before it runs: a request that arrives meanwhile is served next round.
    if (checkAfter_.compare_exchange_strong(after, 0) && check != nullptr) check(capture);
    worked = true;
  }
  return worked;
}
