#include "frame/frame_format.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "runtime/process_end.h"
#include "runtime/write_all.h"

namespace framing {
namespace {

void putU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putSamples(std::uint8_t* at, const std::int16_t* samples, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, samples, count * 2);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      auto bits = static_cast<std::uint16_t>(samples[i]);
      at[2 * i] = static_cast<std::uint8_t>(bits);
      at[2 * i + 1] = static_cast<std::uint8_t>(bits >> 8);
    }
  }
}

}  // namespace

void putHeader(std::uint8_t* at, std::size_t channels, std::uint32_t samples) {
  std::memcpy(at, "TVA1", 4);
  at[4] = static_cast<std::uint8_t>(channels);
  putU32(at + 5, samples);
}

std::uint8_t headerChannels(const std::uint8_t* header) { return header[4]; }

std::uint32_t headerSamples(const std::uint8_t* header) {
  std::uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n |= std::uint32_t(header[5 + i]) << (8 * i);
  return n;
}

bool takeFrame(std::vector<std::vector<std::int16_t>>& pending, std::vector<std::uint8_t>& frame) {
  if (pending.empty() || pending.size() > maxChannels) return false;
  std::size_t n = pending[0].size();
  for (auto& buffer : pending) n = std::min(n, buffer.size());
  if (n < minSamples) return false;
  n = std::min(n, maxSamples);

  frame.resize(headerBytes + 2 * n * pending.size());
  std::uint8_t* at = frame.data();
  putHeader(at, pending.size(), static_cast<std::uint32_t>(n));
  at += headerBytes;
  for (auto& buffer : pending) {
    putSamples(at, buffer.data(), n);
    at += 2 * n;
    // Moved down in place: the buffer keeps its storage for the next blocks.
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
  }
  return true;
}

bool readerGone(int error) {
  // EBADF: the parent started us with standard output closed.
  return error == EPIPE || error == ECONNRESET || error == EBADF;
}

WriteResult writeFrame(int fd, std::span<const std::uint8_t> frame) {
  if (!process::beginOutput()) return {WriteResult::Kind::ending};
  bool written = writeAll(fd, frame.data(), frame.size());
  int error = errno;
  process::endOutput();
  if (written) return {WriteResult::Kind::written};
  return {readerGone(error) ? WriteResult::Kind::readerGone : WriteResult::Kind::failed, error};
}

}  // namespace framing
