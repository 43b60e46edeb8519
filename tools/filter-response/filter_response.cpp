// Measures the capture's resampler as a listener would: a sine at each input
// frequency goes through the same resamplers and blocks as `run`, and the
// level of the 16 kHz result is compared with the level that went in. Below
// 8 kHz that is the anti-alias filter's response; above, everything that
// comes out is aliasing the filter let through.
//
//   filter-response RATE...   prints "rate frequency gain-dB" lines, one block per rate
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dsp/resampler.h"
#include "frame/stream_rate.h"

namespace {

constexpr double amplitude = 0.9;
constexpr double settleSeconds = 0.5;  // the filters' start is left out
constexpr double measureSeconds = 1;
constexpr double stepHz = 50;
constexpr std::size_t blockFrames = 8192;

// One channel per frequency, all resampled side by side like a capture's channels.
void measure(double rate) {
  std::vector<double> frequencies;
  for (double f = stepHz; f < rate / 2; f += stepHz) frequencies.push_back(f);
  const std::size_t channels = frequencies.size();
  std::vector<Resampler> resamplers;
  for (std::size_t c = 0; c < channels; ++c) resamplers.emplace_back(rate);
  std::vector<std::vector<std::int16_t>> out(channels);

  const auto total = static_cast<std::size_t>(rate * (settleSeconds + measureSeconds + 0.1));
  std::vector<float> block(blockFrames * channels);
  for (std::size_t start = 0; start < total; start += blockFrames) {
    std::size_t frames = std::min(blockFrames, total - start);
    for (std::size_t c = 0; c < channels; ++c)
      for (std::size_t i = 0; i < frames; ++i) {
        double phase = std::fmod(frequencies[c] * static_cast<double>(start + i) / rate, 1.0);
        block[c * frames + i] = static_cast<float>(amplitude * std::sin(2 * M_PI * phase));
      }
    processChannels(resamplers, block.data(), frames, out);
  }

  const double inputRms = amplitude * 32767 / std::sqrt(2.0);
  const auto from = static_cast<std::size_t>(framing::streamRate * settleSeconds);
  const auto count = static_cast<std::size_t>(framing::streamRate * measureSeconds);
  for (std::size_t c = 0; c < channels; ++c) {
    double squares = 0;
    for (std::size_t i = from; i < from + count; ++i) squares += double(out[c][i]) * double(out[c][i]);
    double rms = std::sqrt(squares / static_cast<double>(count));
    double gain = rms > 0 ? 20 * std::log10(rms / inputRms) : -200;
    std::printf("%.0f %.0f %.3f\n", rate, frequencies[c], gain);
  }
  std::printf("\n\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: filter-response RATE...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) measure(std::atof(argv[i]));
  return 0;
}
