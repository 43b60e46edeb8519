#pragma once
// One channel of device audio to 16 kHz signed 16-bit samples: two low-pass
// sections at 7 kHz, then linear interpolation at a fixed step.
#include <cstdint>
#include <vector>

#include "dsp/biquad.h"

class Resampler {
 public:
  // `rate` must be finite and above 0 (see validResamplerRate).
  explicit Resampler(double rate);
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;
  Resampler(Resampler&&) = default;
  Resampler& operator=(Resampler&&) = default;

  // Appends the 16 kHz samples for `count` input samples to `into`.
  void process(const float* samples, std::int64_t count, std::vector<std::int16_t>& into);

  Biquad f1, f2;
  double step;
  double pos = 0;
  double prev = 0;
  bool passthrough;
};

// A rate a resampler can be built for: finite and above 0.
bool validResamplerRate(double rate);

// v × 32767, clamped to the 16-bit range (NaN to the top), truncated toward zero.
std::int16_t toSample16(double v);
