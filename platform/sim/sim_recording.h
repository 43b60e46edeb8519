#pragma once
// Recordings for the "recording" signal: one channel of a WAV file (or any
// file libsndfile reads) as 32-bit floats, full scale ±1.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

struct RecordingReading {
  std::shared_ptr<const std::vector<float>> samples;  // null when refused
  std::string problem;                                 // then why, to follow the key's name
};

// Channel `channel` (from 1) of the file at `path`, which must run at `rate` Hz.
RecordingReading readRecording(const std::string& path, std::uint32_t channel, double rate);

}  // namespace sim
