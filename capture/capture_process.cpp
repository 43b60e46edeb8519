#include <unistd.h>

#include "capture/capture.h"
#include "capture/frame_output.h"

void Capture::process(const float* blocks, std::size_t frames) {
  lastCallback = std::chrono::steady_clock::now();
  frames::resampleBlock(resamplers, pending, blocks, frames);
  if (frames::takeFrame(pending, frame)) frames::writeFrame(STDOUT_FILENO, frame);
}
