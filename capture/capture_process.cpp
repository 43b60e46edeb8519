#include <unistd.h>

#include "capture/capture.h"
#include "capture/frame_output.h"

void Capture::process(const float* blocks, std::size_t frames) {
  lastCallback = std::chrono::steady_clock::now();
  frames::resampleBlock(resamplers, pending, blocks, frames);
  // Only the processing thread calls process, so one frame buffer serves
  // every call and stops allocating once it has grown to the largest frame.
  static std::vector<std::uint8_t> frame;
  if (frames::takeFrame(pending, frame)) frames::writeFrame(STDOUT_FILENO, frame);
}
