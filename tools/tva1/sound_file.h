#pragma once
// A sound file libsndfile reads (WAV, FLAC, ...), as float sample frames.
#include <sndfile.h>

#include <cstdint>
#include <string>

namespace tva1 {

class SoundFile {
 public:
  // The file, or standard input for "-". Stops the tool with exit 1 when it
  // cannot be opened, with 65 when it holds no sound libsndfile reads (empty,
  // or not audio).
  explicit SoundFile(const std::string& operand);
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
  std::string name_;
  SF_INFO info_{};
  SNDFILE* file_ = nullptr;
};

}  // namespace tva1
