#include <unistd.h>

#include "capture/capture.h"
#include "capture/frame_output.h"

void Capture::process(const float* blocks, std::size_t frames) {
  lastCallback = std::chrono::steady_clock::now();
  lastBlockFrames.store(static_cast<std::uint32_t>(frames), std::memory_order_relaxed);
  processChannels(resamplers, blocks, frames, pending);
  if (framing::takeFrame(pending, frame)) framing::writeFrame(STDOUT_FILENO, frame);
}
