// tva1 info: what a stream on standard input holds, and how loud each channel is.
#include <unistd.h>

#include <cstdio>

#include "tools/tva1/levels.h"
#include "tools/tva1/stream_reader.h"
#include "tools/tva1/tva1.h"

namespace tva1 {

int info(const std::vector<std::string>& args) {
  if (!args.empty()) stop("usage: tva1 info");
  StreamReader reader(STDIN_FILENO);
  Frame frame;
  std::vector<Levels> levels;
  std::size_t channels = 0, samples = 0;
  while (reader.next(frame)) {
    channels = frame.channels;
    levels.resize(channels);
    for (std::size_t c = 0; c < channels; ++c) levels[c].add(frame.planar.data() + c * frame.samples, frame.samples);
    samples += frame.samples;
  }
  // The summary covers the valid frames, also when the stream breaks off.
  std::printf("frames: %zu\nchannels: %zu\nsamples per channel: %zu (%.3f s at 16000 Hz)\n", reader.framesRead(),
              channels, samples, static_cast<double>(samples) / 16000);
  for (std::size_t c = 0; c < channels; ++c)
    std::printf("channel %zu: peak %s, rms %s\n", c + 1, formatDb(levels[c].peakDb()).c_str(),
                formatDb(levels[c].rmsDb()).c_str());
  std::fflush(stdout);
  if (!reader.error().empty()) stop(reader.error());
  return 0;
}

}  // namespace tva1
