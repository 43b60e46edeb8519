#pragma once
// One 16 kHz mono 16-bit file written through libsndfile as samples come.
// The header is rewritten after every write, so a run that is stopped at any
// point leaves a file that is valid up to the last frame written.
#include <sndfile.h>

#include <cstdint>
#include <string>

namespace tva1 {

enum class SoundFormat { wav, flac };

// "wav" or "flac": the file name's extension for a format.
const char* extension(SoundFormat format);

class SoundWriter {
 public:
  SoundWriter() = default;
  SoundWriter(const SoundWriter&) = delete;
  SoundWriter& operator=(const SoundWriter&) = delete;
  ~SoundWriter();

  // False when the file cannot be created; error() says why.
  bool open(const std::string& path, SoundFormat format);
  // False when the file cannot take the samples (a write error, a full disk,
  // the size limit of the format).
  bool append(const std::int16_t* samples, std::size_t count);
  // Closes the file; false when the last of it could not be written.
  bool finish();
  std::string error() const;

 private:
  SNDFILE* file_ = nullptr;
};

}  // namespace tva1
