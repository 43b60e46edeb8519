#pragma once
// One second-order low-pass section (Audio EQ Cookbook), transposed direct
// form II. Every product and sum is rounded on its own: the build forbids
// contraction into fused multiply-add, so two builds agree to the bit.
#include <cmath>

struct Biquad {
  double b0, b1, b2, a1, a2;
  double z1 = 0, z2 = 0;

  Biquad(double fc, double q, double fs) {
    double w = (fc * 6.283185307179586) / fs;
    double s = std::sin(w), c = std::cos(w);
    double alpha = s / (q + q);
    double a0 = alpha + 1;
    b0 = ((1 - c) * 0.5) / a0;
    b1 = (1 - c) / a0;
    b2 = ((1 - c) * 0.5) / a0;
    a1 = (c * -2) / a0;
    a2 = (1 - alpha) / a0;
  }

  double run(double x) {
    double y = b0 * x + z1;
    z1 = z2 + (b1 * x - a1 * y);
    z2 = b2 * x - a2 * y;
    return y;
  }
};
