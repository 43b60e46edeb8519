#include <unistd.h>

#include "capture/capture.h"
#include "capture/frame_output.h"

void Capture::process(const float* blocks, std::size_t frames) {
  // A block without frames is no sign of audio: the silence check must still see it as silence.
  if (frames == 0) return;
  lastCallback = std::chrono::steady_clock::now();
  lastBlockFrames.store(static_cast<std::uint32_t>(frames), std::memory_order_relaxed);
  processChannels(resamplers, blocks, frames, pending);
  for (std::size_t i = 0; i < resamplers.size(); ++i)
    nonFinite[i].store(resamplers[i].nonFinite, std::memory_order_relaxed);
  if (framing::takeFrame(pending, frame)) framing::writeFrame(STDOUT_FILENO, frame);
}
