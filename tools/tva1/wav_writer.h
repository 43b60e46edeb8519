#pragma once
// One 16 kHz mono 16-bit PCM WAV file, written as samples come; the sizes in
// the header are filled in by finish.
#include <cstdint>
#include <cstdio>
#include <string>

namespace tva1 {

class WavWriter {
 public:
  WavWriter() = default;
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;
  ~WavWriter();

  // False when the file cannot be created.
  bool open(const std::string& path);
  // False when the file cannot take the samples (a write error, or the 4 GiB
  // limit of the format).
  bool append(const std::int16_t* samples, std::size_t count);
  // Writes the final sizes and closes the file; false on a write error.
  bool finish();

 private:
  std::FILE* file_ = nullptr;
  std::uint32_t dataBytes_ = 0;
};

}  // namespace tva1
