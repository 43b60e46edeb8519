#pragma once
// One channel of device audio to 16 kHz signed 16-bit samples: two low-pass
// sections at 7 kHz (for input at 14 kHz and below, at 0.45 × its rate), then
// linear interpolation at a fixed step. A sample that is not finite counts as
// silence, on the passthrough path too, and is counted. Everything is
// double precision until the final conversion, and every product and sum is
// rounded on its own, so the output is the same on every build, and the same
// however the input is cut into blocks.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dsp/biquad.h"

// A rate a resampler can be built for: finite and at least 1 Hz. Callers
// check this before building one: at 0 or below the interpolation step would
// never advance, and far below audio rates each input sample would make an
// unbounded number of output samples (16000 / rate of them). A resampler built
// with a refused rate anyway produces nothing at all, so a mistake shows as
// silence, never as a hang.
bool validResamplerRate(double rate);

class Resampler {
 public:
  explicit Resampler(double rate);
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;
  Resampler(Resampler&&) = default;
  Resampler& operator=(Resampler&&) = default;

  // Appends the 16 kHz samples for `count` input samples to `into`. `into`
  // only grows; keep it between calls and no call allocates once it is big
  // enough.
  void process(const float* samples, std::int64_t count, std::vector<std::int16_t>& into);

  // To read only: the state the next sample meets, and the input samples
  // taken as silence since construction.
  bool passesThrough() const { return passthrough; }
  double position() const { return pos; }
  double previous() const { return prev; }
  const Biquad& firstSection() const { return f1; }
  const Biquad& secondSection() const { return f2; }
  std::uint64_t nonFiniteSamples() const { return nonFinite; }

 private:
  friend void processChannels(std::span<Resampler>, const float*, std::size_t, std::span<std::vector<std::int16_t>>);
  friend void skipSettledSilence(std::span<Resampler>, std::int64_t, std::span<std::vector<std::int16_t>>);
  template <class Lane, std::size_t K>
  static void runInLockstep(Resampler* resamplers, const float* blocks, std::size_t frames, std::vector<std::int16_t>* into);
  static bool sameCourse(const Resampler& a, const Resampler& b);
  // The outputs `frames` samples make from `pos` on, and `pos` moved past them.
  std::size_t passOver(std::int64_t frames);

  Biquad f1, f2;
  double step;
  double pos = 0;
  double prev = 0;
  bool passthrough;
  std::uint64_t nonFinite = 0;
};

// The corner of the anti-alias sections for an input at `rate` Hz: 7000 Hz,
// the top of the 16 kHz stream's band, while that lies below half the rate;
// else 0.45 × rate. A corner at or above half the rate leaves a section no
// damping (α ≤ 0) and it runs away into the clamp; 0.45 keeps the poles well
// inside the unit circle while the band the input can carry at all (up to
// rate / 2) passes within a fraction of a decibel up to 0.4 × rate.
double antiAliasCorner(double rate);

// Feeds channel i's `frames` samples at blocks + i × frames to resamplers[i],
// appending to into[i]. The output is exactly what process would give channel
// by channel; resamplers at the same point of the same rate (every channel of
// one capture) run side by side, which hides the latency of the filters.
void processChannels(std::span<Resampler> resamplers, const float* blocks, std::size_t frames,
                     std::span<std::vector<std::int16_t>> into);

// `frames` samples of silence through resamplers[i] whose filters have rung
// out (the caller has fed them silence until their output is 0): appends to
// into[i] the zeros process would, moves the position as process would, and
// clears the filters and the previous sample. Counted, not computed, so a long
// gap costs little; resamplers at the same point of the same rate share one count.
void skipSettledSilence(std::span<Resampler> resamplers, std::int64_t frames,
                        std::span<std::vector<std::int16_t>> into);

// v × 32767, clamped to the 16-bit range (NaN to the top), truncated toward zero.
inline std::int16_t toSample16(double v) {
  double s = v * 32767.0;
  double c = s < 32767.0 ? (s < -32768.0 ? -32768.0 : s) : 32767.0;
  return static_cast<std::int16_t>(c);
}
