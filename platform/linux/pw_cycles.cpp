#include "platform/linux/pw_cycles.h"

#include <algorithm>
#include <cmath>

std::uint64_t missedFrames(CycleAnchor& anchor, const spa_io_clock& clock, std::uint32_t buffers,
                           std::int64_t heldNs, std::uint32_t streamRate) {
  bool sameCycleLength = anchor.valid && clock.id == anchor.clockId && clock.rate.num == anchor.rate.num &&
                         clock.rate.denom == anchor.rate.denom && clock.duration == anchor.duration;
  std::uint64_t lostTicks = 0;
  if (sameCycleLength && clock.position > anchor.position && clock.duration > 0 && clock.rate.num > 0) {
    std::uint64_t accounted = static_cast<std::uint64_t>(buffers) * clock.duration;
    std::uint64_t moved = clock.position - anchor.position;
    // Ticks are clock.rate seconds each. A thread held up for less than a
    // cycle is taken as one the graph skipped (a wake that came late is no
    // loss of ours); held up longer, it missed every cycle that began
    // meanwhile, which the position counts exactly.
    double heldTicks = static_cast<double>(std::max<std::int64_t>(heldNs, 0)) * 1e-9 * clock.rate.denom / clock.rate.num;
    double heldCycles = heldTicks / static_cast<double>(clock.duration);
    auto mostCycles = heldCycles < 1 ? 0 : static_cast<std::uint64_t>(std::ceil(heldCycles));
    if (moved > accounted) lostTicks = std::min(moved - accounted, mostCycles * clock.duration);
  }
  anchor = {true, clock.id, clock.rate, clock.position, clock.duration};
  if (lostTicks == 0) return 0;
  // The stream may run at another rate than the graph.
  double seconds = static_cast<double>(lostTicks) * clock.rate.num / clock.rate.denom;
  return static_cast<std::uint64_t>(std::llround(seconds * streamRate));
}
