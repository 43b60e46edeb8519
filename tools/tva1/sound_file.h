#pragma once
// A sound file libsndfile reads (WAV, FLAC, ...), as float sample frames.
#include <sndfile.h>

#include <cstdint>
#include <string>

namespace tva1 {

class SoundFile {
 public:
  // Stops the tool when the file cannot be opened or is no sound file.
  explicit SoundFile(const std::string& path);
  ~SoundFile();
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  std::size_t channels() const { return static_cast<std::size_t>(info_.channels); }
  double rate() const { return info_.samplerate; }
  std::uint64_t frames() const { return info_.frames > 0 ? static_cast<std::uint64_t>(info_.frames) : 0; }

  // Up to `frames` interleaved sample frames, full scale ±1; fewer only at
  // the end. A read error stops the tool.
  std::size_t read(float* into, std::size_t frames);

 private:
  std::string path_;
  SF_INFO info_{};
  SNDFILE* file_ = nullptr;
};

}  // namespace tva1
