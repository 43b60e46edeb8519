#include "tools/tva1/wav_writer.h"

#include <algorithm>
#include <vector>

namespace tva1 {
namespace {

constexpr std::uint32_t headerBytes = 44;

void putU16(unsigned char* at, std::uint16_t v) {
  at[0] = static_cast<unsigned char>(v);
  at[1] = static_cast<unsigned char>(v >> 8);
}

void putU32(unsigned char* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}

void header(unsigned char* h, std::uint32_t dataBytes) {
  const std::uint32_t rate = 16000;
  std::copy_n("RIFF", 4, h);
  putU32(h + 4, 36 + dataBytes);
  std::copy_n("WAVEfmt ", 8, h + 8);
  putU32(h + 16, 16);        // format chunk size
  putU16(h + 20, 1);         // integer PCM
  putU16(h + 22, 1);         // mono
  putU32(h + 24, rate);
  putU32(h + 28, rate * 2);  // bytes per second
  putU16(h + 32, 2);         // bytes per sample frame
  putU16(h + 34, 16);        // bits per sample
  std::copy_n("data", 4, h + 36);
  putU32(h + 40, dataBytes);
}

}  // namespace

WavWriter::~WavWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

bool WavWriter::open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  unsigned char h[headerBytes];
  header(h, 0);
  return std::fwrite(h, 1, headerBytes, file_) == headerBytes;
}

bool WavWriter::append(const std::int16_t* samples, std::size_t count) {
  if (count * 2 > 0xFFFFFFFFu - headerBytes - dataBytes_) return false;
  std::vector<unsigned char> bytes(count * 2);
  for (std::size_t i = 0; i < count; ++i) putU16(bytes.data() + 2 * i, static_cast<std::uint16_t>(samples[i]));
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return false;
  dataBytes_ += static_cast<std::uint32_t>(bytes.size());
  return true;
}

bool WavWriter::finish() {
  unsigned char h[headerBytes];
  header(h, dataBytes_);
  bool ok = std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, headerBytes, file_) == headerBytes;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}

}  // namespace tva1
