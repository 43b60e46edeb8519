#include "capture/processing_thread.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>

#include "capture/capture.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// The audio thread cannot wake this one, so it looks for blocks itself, and
// every look is a timer wake-up that costs more than the look. Device
// callbacks come at a very steady period, so it predicts the next arrival and
// sleeps until just after it. It wakes once a millisecond before that too: a
// thread that has slept through a whole period is sometimes woken
// milliseconds late, one that slept a millisecond is not. The prediction
// creeps earlier a little each time the block was already there, so it stays
// near the real arrival instead of drifting late; when the block is not there
// yet, it looks again shortly and learns the arrival from when it appears.
class ArrivalPace {
 public:
  void lookedInVain(Clock::time_point at) { lookedEmpty_ = at; }

  void arrived(Clock::time_point at) {
    // Found shortly after a look in vain: the arrival is known to within that spacing.
    // Otherwise it came between that look and the prediction, or just before it.
    bool bracketed = at - lookedEmpty_ <= fineLook(jitter_) + microseconds(200);
    Clock::time_point arrival =
        bracketed ? lookedEmpty_ + (at - lookedEmpty_) / 2 : std::max(lookedEmpty_, std::min(at, expected_ - creep));
    if (lastSeen_ != Clock::time_point{}) {
      auto gap = at - lastSeen_;
      // A gap outside this range is a start, a stall or a burst, not the pace.
      if (gap >= microseconds(500) && gap <= milliseconds(250)) {
        if (period_ == Clock::duration::zero()) {
          period_ = gap;
        } else {
          auto off = gap > period_ ? gap - period_ : period_ - gap;
          jitter_ = (jitter_ * 7 + off) / 8;
          period_ = (period_ * 7 + gap) / 8;
        }
      }
    }
    lastSeen_ = at;
    expected_ = arrival + period_;
  }

  Clock::time_point nextLook(Clock::time_point now) const {
    if (period_ == Clock::duration::zero() || now - lastSeen_ > period_ * 3 + milliseconds(20)) return now + idleLook;
    // Blocks of varying sizes cannot be foretold: look often enough that none waits long.
    if (jitter_ * 8 > period_) return now + std::min<Clock::duration>(milliseconds(1), period_ / 2);
    // Some jitter is met early and watched more closely.
    Clock::duration lead = std::min<Clock::duration>(jitter_ * 2, period_ / 2);
    auto due = expected_ + after - lead;
    if (now < due - warm) return due - warm;
    if (now < due) return due;
    // Late: a block may still come any moment, or the audio has stalled.
    if (now < expected_ + milliseconds(2) + lead * 2) return now + fineLook(jitter_);
    return now + milliseconds(1);
  }

  // No block for a while (not started, or stopped): latency no longer
  // matters, and a check request wakes the thread by itself.
  static constexpr auto idleLook = milliseconds(10);

 private:
  static constexpr auto after = microseconds(400);  // past the predicted arrival
  static constexpr auto creep = microseconds(40);
  static constexpr auto warm = microseconds(1000);

  static Clock::duration fineLook(Clock::duration jitter) {
    return std::clamp<Clock::duration>(jitter / 2, microseconds(250), milliseconds(1));
  }

  Clock::time_point lastSeen_{}, lookedEmpty_{}, expected_{};
  Clock::duration period_ = Clock::duration::zero(), jitter_ = Clock::duration::zero();
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
  {
    std::lock_guard<std::mutex> lock(wakeLock_);
    stop_.store(true);
  }
  wake_.notify_one();
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
      auto now = Clock::now();
      pace.lookedInVain(now);
      std::unique_lock<std::mutex> lock(wakeLock_);
      wake_.wait_until(lock, pace.nextLook(now), [this] { return woken_ || stop_.load(std::memory_order_relaxed); });
      woken_ = false;
    }
  });
}

void ProcessingThread::requestCheck(std::uint64_t blocks, Check check) {
  {
    std::lock_guard<std::mutex> lock(wakeLock_);
    check_.store(check, std::memory_order_release);
    checkAfter_.store(blocks + 1, std::memory_order_release);
    woken_ = true;
  }
  wake_.notify_one();
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
