#pragma once
// One second-order low-pass section (Audio EQ Cookbook), transposed direct
// form II. Every product and sum is rounded on its own: the build forbids
// contraction into fused multiply-add, so two builds agree to the bit.
//
// `Lane` is a double for one channel, or a vector of doubles for channels
// side by side: each lane is rounded exactly like a lone double, so every
// width gives the same bits.
#include <cmath>

template <class Lane>
struct BiquadSection {
  Lane b0, b1, b2, a1, a2;
  Lane z1{}, z2{};

  Lane run(Lane x) {
    Lane y = b0 * x + z1;
    z1 = z2 + (b1 * x - a1 * y);
    z2 = b2 * x - a2 * y;
    return y;
  }
};

using Biquad = BiquadSection<double>;

// What a section is fed for a sample: a NaN or an infinity (a driver glitch,
// a broken plugin) counts as silence. Fed as it is, it would leave the state
// NaN for good and the channel pinned at full scale; as 0 it is one click.
inline bool finiteSample(double x) { return std::isfinite(x); }
inline double sectionInput(double x) { return finiteSample(x) ? x : 0.0; }

// The low-pass at `fc` Hz with quality `q` for a rate of `fs` Hz.
inline Biquad lowPass(double fc, double q, double fs) {
  double w = (fc * 6.283185307179586) / fs;
  double s = std::sin(w), c = std::cos(w);
  double alpha = s / (q + q);
  double a0 = alpha + 1;
  return {((1 - c) * 0.5) / a0, (1 - c) / a0, ((1 - c) * 0.5) / a0, (c * -2) / a0, (1 - alpha) / a0};
}
