#include "main/clock_log.h"

#include <cmath>
#include <cstdio>

#include "capture/capture.h"
#include "runtime/support_line.h"
#include "text/whole_hz.h"

namespace support {
namespace {
constexpr double notablePpm = 100;
}  // namespace

void logClock(const Capture& capture) {
  auto clock = capture.clock();
  if (!clock.measured) return;
  char figures[160];
  std::snprintf(figures, sizeof figures, " Hz measured at %.1f Hz against the system clock, %+.1f ppm over %.0f s",
                clock.rate, clock.ppm, clock.seconds);
  write(std::fabs(clock.ppm) > notablePpm ? Level::problem : Level::note, "clock: device " + wholeHz(capture.rate()) + figures);
}

}  // namespace support
