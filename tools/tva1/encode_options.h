#pragma once
#include <cstddef>
#include <string>

#include "tools/tva1/options.h"

namespace tva1 {

// Either a sound file (rate and channels from the file) or raw floats on
// standard input, described by --rate and --channels.
struct EncodeOptions {
  std::string file;
  double rate = 0;
  std::size_t channels = 0;
};

extern const Command encodeCommand;

// Stops the tool on anything but "--rate R --channels C" or one file name.
EncodeOptions parseEncodeOptions(int argc, char** argv);

// The channel count a stream can carry: 1 to 255.
bool framableChannels(std::size_t channels);

}  // namespace tva1
