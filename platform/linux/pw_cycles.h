#pragma once
// Which graph cycles a PipeWire capture stream missed, from the driver's
// clock as the graph shares it with the stream each cycle. The driver moves
// its position on by the cycle's duration every cycle, whether or not our
// stream took part, so a cycle we missed shows as position the buffers we got
// do not account for. Only a cycle that began while our audio thread was held
// up counts as lost: the graph also skips a follower, whole, for a cycle or
// two when clients come and go, and nothing is lost then. A driver, rate or
// quantum that changes starts the count over and loses nothing, and a stream
// that is resampled or rate-matched is never judged by its frame count, so
// rounding cannot add up to a gap.
#include <spa/node/io.h>

#include <cstdint>

struct CycleAnchor {
  bool valid = false;
  std::uint32_t clockId = 0;
  spa_fraction rate{};
  std::uint64_t position = 0;
  std::uint64_t duration = 0;
};

// One process callback that took `buffers` buffers (one a cycle) while the
// driver's clock reads `clock`, the audio thread having been held up for at
// most `heldNs` since the last: the stream frames, at `streamRate`, of the
// cycles missed since then. Moves the anchor to this cycle.
std::uint64_t missedFrames(CycleAnchor& anchor, const spa_io_clock& clock, std::uint32_t buffers,
                           std::int64_t heldNs, std::uint32_t streamRate);
