#include "platform/sim/sim_recording.h"

#include <sndfile.h>

#include <cmath>

namespace sim {

RecordingReading readRecording(const std::string& path, std::uint32_t channel, double rate) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return {nullptr, "cannot be read as a sound file (" + std::string(sf_strerror(nullptr)) + ")"};
  auto channels = static_cast<std::uint32_t>(info.channels);
  std::string problem;
  // One sample per device frame: a file at another rate would play at another pitch.
  if (std::fabs(info.samplerate - rate) > 0.5)
    problem = "runs at " + std::to_string(info.samplerate) + " Hz, the device at " +
              std::to_string(static_cast<long long>(rate)) + " Hz";
  else if (channel < 1 || channel > channels)
    problem = "has " + std::to_string(channels) + " channels; fileChannel " + std::to_string(channel) + " is not one";
  if (!problem.empty()) {
    sf_close(file);
    return {nullptr, problem};
  }
  std::vector<float> interleaved(static_cast<std::size_t>(info.frames) * channels);
  auto frames = sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  auto samples = std::make_shared<std::vector<float>>();
  samples->reserve(static_cast<std::size_t>(frames));
  for (sf_count_t i = 0; i < frames; ++i) samples->push_back(interleaved[static_cast<std::size_t>(i) * channels + channel - 1]);
  return {std::move(samples), ""};
}

}  // namespace sim
