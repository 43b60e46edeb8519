#include "tools/tva1/stream_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frame/frame_format.h"
#include "tools/tva1/read_input.h"
#include "tools/tva1/tva1.h"
#include "tools/tva1/write_output.h"

namespace tva1 {

namespace {

std::string where(std::size_t frames, std::uint64_t offset) {
  return inputName() + ": frame " + std::to_string(frames + 1) + " at byte " + std::to_string(offset) + ": ";
}

}  // namespace

bool StreamReader::fail(const std::string& what) {
  error_ = where(frames_, offset_) + what;
  return false;
}

bool StreamReader::end(const std::string& what) {
  cutShort_ = where(frames_, offset_) + what + ", taken as the end of the stream";
  return false;
}

std::size_t StreamReader::read(unsigned char* into, std::size_t size) {
  std::size_t got = readFully(fd_, into, size);
  if (tee_ >= 0) writeOrEnd(tee_, into, got);
  return got;
}

void StreamReader::teeRest() {
  if (tee_ < 0) return;
  unsigned char buffer[1 << 16];
  while (read(buffer, sizeof buffer) == sizeof buffer) {
  }
}

bool StreamReader::next(Frame& frame) {
  if (!error_.empty() || !cutShort_.empty()) return false;
  unsigned char header[framing::headerBytes];
  std::size_t got = read(header, sizeof header);
  if (got == 0) return false;
  // A header cut short is the end only while what came reads as the magic.
  if (std::memcmp(header, "TVA1", std::min<std::size_t>(got, 4)) != 0) return fail("bad magic, not \"TVA1\"");
  if (got < sizeof header) return end("cut short in the header (" + std::to_string(got) + " of 9 bytes)");
  std::size_t channels = framing::headerChannels(header);
  std::uint32_t samples = framing::headerSamples(header);
  if (channels == 0) return fail("zero channels");
  if (channels_ != 0 && channels != channels_)
    return fail("channel count changed from " + std::to_string(channels_) + " to " + std::to_string(channels));
  if (samples < framing::minSamples) return fail(std::to_string(samples) + " samples per channel, below 800");
  if (samples > framing::maxSamples)
    return fail(std::to_string(samples) + " samples per channel, above " + std::to_string(framing::maxSamples));

  // Read in slices so that a count the input does not back up costs no more
  // memory than the input itself, and never more than one frame's.
  const std::uint64_t want = std::uint64_t(samples) * channels * 2;
  bytes_.clear();
  while (bytes_.size() < want) {
    std::size_t slice = static_cast<std::size_t>(std::min<std::uint64_t>(want - bytes_.size(), 1 << 20));
    std::size_t had = bytes_.size();
    bytes_.resize(had + slice);
    std::size_t arrived = read(bytes_.data() + had, slice);
    if (arrived < slice)
      return end("cut short (" + std::to_string(had + arrived) + " of " + std::to_string(want) + " sample bytes)");
  }

  frame.channels = channels;
  frame.samples = samples;
  frame.planar.resize(std::size_t(samples) * channels);
  for (std::size_t i = 0; i < frame.planar.size(); ++i)
    frame.planar[i] = static_cast<std::int16_t>(std::uint16_t(bytes_[2 * i]) | std::uint16_t(bytes_[2 * i + 1]) << 8);
  channels_ = channels;
  offset_ += framing::headerBytes + want;
  ++frames_;
  return true;
}

void endOfStream(const StreamReader& reader) {
  if (!reader.error().empty()) stop(reader.error(), dataError);
  if (!reader.cutShort().empty()) {
    std::string line = "tva1: " + reader.cutShort() + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  }
}

}  // namespace tva1
