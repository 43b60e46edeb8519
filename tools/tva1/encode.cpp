// Audio in, the capture's frame stream out: the same resamplers and frame
// code as the capture, fed blocks of the largest size the capture hands over.
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame/frame_format.h"
#include "frame/stream_rate.h"
#include "dsp/resampler.h"
#include "tools/tva1/encode_options.h"
#include "tools/tva1/progress.h"
#include "tools/tva1/read_input.h"
#include "tools/tva1/sound_file.h"
#include "tools/tva1/tva1.h"
#include "tools/tva1/write_output.h"

namespace tva1 {
namespace {

constexpr std::size_t blockFrames = 8192;

// Only a big-endian host calls it.
[[maybe_unused]] float floatFromLittleEndian(const unsigned char* bytes) {
  std::uint32_t bits = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
                       std::uint32_t(bytes[3]) << 24;
  return std::bit_cast<float>(bits);
}

// Interleaved little-endian sample frames to one block per channel, channel c at c × frames.
void deinterleaveBytes(const unsigned char* bytes, std::size_t frames, std::size_t channels, float* planar) {
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

void deinterleaveFloats(const float* samples, std::size_t frames, std::size_t channels, float* planar) {
  for (std::size_t c = 0; c < channels; ++c)
    for (std::size_t i = 0; i < frames; ++i) planar[c * frames + i] = samples[i * channels + c];
}

// One resampler per channel and the capture's pending buffers, written out
// as frames become ready.
class Encoder {
 public:
  Encoder(double rate, std::size_t channels) : pending_(channels), planar_(blockFrames * channels) {
    for (std::size_t c = 0; c < channels; ++c) resamplers_.emplace_back(rate);
  }
  float* block() { return planar_.data(); }
  void encodeBlock(std::size_t frames) {
    processChannels(resamplers_, planar_.data(), frames, pending_);
    // A block at a rate far below any device's can make more than one frame.
    while (framing::takeFrame(pending_, frame_)) writeOrEnd(STDOUT_FILENO, frame_.data(), frame_.size());
  }
  // As the capture at its end, the last samples that fill no frame are not
  // written; a fixture must not lose them unnoticed.
  int finish() const {
    std::size_t left = pending_.empty() ? 0 : pending_[0].size();
    if (left == 0) return 0;
    char note[200];
    std::snprintf(note, sizeof note,
                  "tva1: encode: the last %zu samples per channel (%.4g s) fill no frame of %zu and are left out\n",
                  left, static_cast<double>(left) / framing::streamRate, framing::minSamples);
    std::fputs(note, stderr);
    return 0;
  }

 private:
  std::vector<Resampler> resamplers_;
  std::vector<std::vector<std::int16_t>> pending_;
  std::vector<std::uint8_t> frame_;
  std::vector<float> planar_;
};

int encodeRaw(const EncodeOptions& options) {
  const std::size_t frameBytes = options.channels * 4;
  const int from = openInput(options.file);
  Encoder encoder(options.rate, options.channels);
  std::vector<unsigned char> input(blockFrames * frameBytes);
  Progress progress("encode", inputSize(from));
  std::uint64_t done = 0;
  for (;;) {
    std::size_t got = readFully(from, input.data(), input.size());
    std::size_t frames = got / frameBytes;
    if (frames > 0) {
      deinterleaveBytes(input.data(), frames, options.channels, encoder.block());
      encoder.encodeBlock(frames);
    }
    if (got % frameBytes != 0)
      stop(inputName() + " ends inside a sample frame: " + std::to_string(got % frameBytes) + " stray bytes",
           dataError);
    if (got < input.size()) return encoder.finish();
    progress.update(done += got);
  }
}

int encodeFile(const std::string& operand) {
  SoundFile file(operand);
  const std::string& name = inputName();
  if (!framableChannels(file.channels()))
    stop(name + " has " + std::to_string(file.channels()) + " channels; a stream carries 1 to 255", dataError);
  if (!validResamplerRate(file.rate()))
    stop(name + " has no usable sample rate", dataError);
  Encoder encoder(file.rate(), file.channels());
  std::vector<float> input(blockFrames * file.channels());
  Progress progress("encode", file.frames());
  std::uint64_t done = 0;
  for (;;) {
    std::size_t frames = file.read(input.data(), blockFrames);
    if (frames > 0) {
      deinterleaveFloats(input.data(), frames, file.channels(), encoder.block());
      encoder.encodeBlock(frames);
    }
    if (frames < blockFrames) return encoder.finish();
    progress.update(done += frames);
  }
}

}  // namespace

int encode(int argc, char** argv) {
  EncodeOptions options = parseEncodeOptions(argc, argv);
  return options.raw ? encodeRaw(options) : encodeFile(options.file);
}

}  // namespace tva1
