#pragma once
// The gaps in a stream, for the support log: where each began and how long
// it lasted. The processing thread notes them, the watchdog's tick takes and
// logs them; a gap that goes on is extended in place, so a long stall is one
// line, not one per block.
#include <cstdint>
#include <mutex>
#include <vector>

struct Gap {
  enum class Cause {
    ringFull,      // blocks the audio thread could not hand over
    failedRender,  // blocks the device could not deliver (overruns, failed reads)
    device,        // input the device or its driver skipped (missed cycles)
    queueFull,     // frames standard output had no room for while the parent did not read
  };
  Cause cause;
  double atSeconds;      // stream time where the silence begins, after "started"
  double seconds;        // its length
};

class GapLog {
 public:
  // Processing thread. A gap of the same cause that starts where the last
  // one ends is the same gap going on.
  void note(Gap::Cause cause, double atSeconds, double seconds) {
    std::lock_guard guard(lock_);
    totals_.seconds += seconds;
    if (!gaps_.empty()) {
      Gap& last = gaps_.back();
      if (last.cause == cause && last.atSeconds + last.seconds >= atSeconds - 1e-9) {
        last.seconds = atSeconds + seconds - last.atSeconds;
        grew_ = true;
        return;
      }
    }
    grew_ = true;
    ++totals_.gaps;
    // A support log needs the first gaps and a count of the rest, not each of thousands.
    if (gaps_.size() >= kept) {
      ++untold_;
      untoldSeconds_ += seconds;
      return;
    }
    gaps_.push_back({cause, atSeconds, seconds});
  }

  // Any thread: every gap since the start, the one still growing included.
  struct Totals {
    std::uint64_t gaps = 0;
    double seconds = 0;
  };
  Totals totals() {
    std::lock_guard guard(lock_);
    return totals_;
  }

  struct Taken {
    std::vector<Gap> gaps;
    std::uint64_t untold = 0;
    double untoldSeconds = 0;
  };
  // Main thread, once a tick: the gaps noted since the last call. The last
  // gap is kept back while it still grows, so that it is told once, whole.
  Taken take() {
    std::lock_guard guard(lock_);
    Taken taken;
    if (grew_ && !gaps_.empty()) {
      Gap open = gaps_.back();
      gaps_.pop_back();
      taken.gaps = std::move(gaps_);
      gaps_ = {open};
    } else {
      taken.gaps = std::move(gaps_);
      gaps_.clear();
    }
    grew_ = false;
    taken.untold = untold_;
    taken.untoldSeconds = untoldSeconds_;
    untold_ = 0;
    untoldSeconds_ = 0;
    return taken;
  }

 private:
  static constexpr std::size_t kept = 16;
  std::mutex lock_;
  std::vector<Gap> gaps_;
  std::uint64_t untold_ = 0;
  double untoldSeconds_ = 0;
  bool grew_ = false;
  Totals totals_;
};
