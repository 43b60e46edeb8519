// Interleaved 32-bit float samples in, the capture's frame stream out: the
// same resamplers and frame code as the capture, fed blocks of the largest
// size the capture hands over.
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "capture/frame_output.h"
#include "dsp/resampler.h"
#include "tools/tva1/encode_options.h"
#include "tools/tva1/read_input.h"
#include "tools/tva1/tva1.h"

namespace tva1 {
namespace {

constexpr std::size_t blockFrames = 8192;

float floatFromLittleEndian(const unsigned char* bytes) {
  std::uint32_t bits = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
                       std::uint32_t(bytes[3]) << 24;
  return std::bit_cast<float>(bits);
}

// Interleaved sample frames to one block per channel, channel c at c × frames.
void deinterleave(const unsigned char* bytes, std::size_t frames, std::size_t channels, float* planar) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::size_t stride = channels * 4;
    for (std::size_t c = 0; c < channels; ++c) {
      float* to = planar + c * frames;
      const unsigned char* from = bytes + c * 4;
      for (std::size_t i = 0; i < frames; ++i) std::memcpy(to + i, from + i * stride, 4);
    }
  } else {
    for (std::size_t i = 0; i < frames; ++i)
      for (std::size_t c = 0; c < channels; ++c)
        planar[c * frames + i] = floatFromLittleEndian(bytes + (i * channels + c) * 4);
  }
}

}  // namespace

int encode(const std::vector<std::string>& args) {
  EncodeOptions options = parseEncodeOptions(args);
  const std::size_t frameBytes = options.channels * 4;

  std::vector<Resampler> resamplers;
  for (std::size_t c = 0; c < options.channels; ++c) resamplers.emplace_back(options.rate);
  std::vector<std::vector<std::int16_t>> pending(options.channels);
  std::vector<std::uint8_t> frame;
  std::vector<unsigned char> input(blockFrames * frameBytes);
  std::vector<float> planar(blockFrames * options.channels);

  for (;;) {
    std::size_t got = readFully(STDIN_FILENO, input.data(), input.size());
    std::size_t frames = got / frameBytes;
    if (frames > 0) {
      deinterleave(input.data(), frames, options.channels, planar.data());
      processChannels(resamplers, planar.data(), frames, pending);
      if (framing::takeFrame(pending, frame)) framing::writeFrame(STDOUT_FILENO, frame);
    }
    if (got % frameBytes != 0)
      stop("input ends inside a sample frame: " + std::to_string(got % frameBytes) + " stray bytes");
    if (got < input.size()) return 0;
  }
}

}  // namespace tva1
