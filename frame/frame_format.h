#pragma once
// "TVA1" frames out of the pending 16 kHz buffers the resamplers fill.
//
// A frame: the magic "TVA1", the channel count C (one byte), the sample count
// N (unsigned 32-bit), then N signed 16-bit samples of each channel in turn,
// channels in pick order. Every multi-byte field is little-endian.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace framing {

constexpr std::size_t headerBytes = 9;
// 50 ms at 16 kHz: no frame is written with fewer samples per channel.
constexpr std::size_t minSamples = 800;
// The channel count is one byte.
constexpr std::size_t maxChannels = 255;
// No frame carries more: the capture's largest (a block of 8192 frames at
// 1 000 Hz, plus what was pending) is about half. A reader takes a larger
// count for a broken stream, so one frame's memory bounds what it holds.
constexpr std::size_t maxSamples = std::size_t{1} << 18;

// The 9-byte header of a frame of `channels` channels of `samples` samples, at `at`.
void putHeader(std::uint8_t* at, std::size_t channels, std::uint32_t samples);
// The channel count C and the sample count N of the 9-byte header at `header`.
std::uint8_t headerChannels(const std::uint8_t* header);
std::uint32_t headerSamples(const std::uint8_t* header);

// When every pending buffer holds at least 800 samples, builds one frame of
// the smallest count N (at most maxSamples) into `frame` (reusing its
// storage), removes those N samples from the front of each buffer and
// returns true. Otherwise leaves everything as it is and returns false.
// Takes 1 to 255 buffers; more cannot be framed and are refused by the run
// command before capture starts.
bool takeFrame(std::vector<std::vector<std::int16_t>>& pending, std::vector<std::uint8_t>& frame);

// Whether a write failed with `error` because the reader has gone (a closed
// pipe or descriptor), rather than because the output itself failed.
bool readerGone(int error);

// What became of a frame's write. What each outcome means for the process
// is the program's to say.
struct WriteResult {
  enum class Kind {
    written,
    ending,      // the process is ending: nothing more may be written
    readerGone,  // a closed pipe or descriptor
    failed,      // the output itself failed (a full disk, a failing device)
  };
  Kind kind;
  int error = 0;  // the errno of a write that did not go through
};

// Writes one frame in one write, bracketed against the end of the process.
WriteResult writeFrame(int fd, std::span<const std::uint8_t> frame);

}  // namespace framing
