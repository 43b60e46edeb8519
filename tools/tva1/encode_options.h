#pragma once
#include <cstddef>
#include <string>

#include "tools/tva1/options.h"

namespace tva1 {

// Either a sound file (rate and channels from the file) or raw floats,
// described by --rate and --channels, from a file or standard input.
struct EncodeOptions {
  bool raw = false;
  std::string file;  // "-" for standard input
  double rate = 0;
  std::size_t channels = 0;
};

extern const Command encodeCommand;

// Stops the tool on anything but "--rate R --channels C [FILE]" or one file name.
EncodeOptions parseEncodeOptions(int argc, char** argv);

// The channel count a stream can carry: 1 to 255.
bool framableChannels(std::size_t channels);

}  // namespace tva1
