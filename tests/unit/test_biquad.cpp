// The low-pass section: cookbook coefficients, unity gain at 0 Hz, and how a
// bad sample or a bad design shows.
#include <gtest/gtest.h>

#include <cmath>

#include "dsp/biquad.h"

namespace {

TEST(Biquad, CoefficientsOfTheTwoSectionsAt48k) {
  Biquad low = lowPass(7000, 0.5412, 48000);
  EXPECT_NEAR(low.b0, 0.1128817473, 1e-10);
  EXPECT_NEAR(low.b1, 0.2257634947, 1e-10);
  EXPECT_NEAR(low.a1, -0.7025693161, 1e-10);
  EXPECT_NEAR(low.a2, 0.1540963055, 1e-10);
  Biquad high = lowPass(7000, 1.3066, 48000);
  EXPECT_NEAR(high.b0, 0.150061445, 1e-9);
  EXPECT_NEAR(high.b1, 0.3001228901, 1e-10);
  EXPECT_NEAR(high.a1, -0.9339735547, 1e-10);
  EXPECT_NEAR(high.a2, 0.5342193349, 1e-10);
  for (const Biquad& b : {low, high}) {
    // One numerator: equal outer taps, the middle one exactly twice as large.
    EXPECT_EQ(b.b2, b.b0);
    EXPECT_EQ(b.b1, 2 * b.b0);
    EXPECT_EQ(b.z1, 0.0);
    EXPECT_EQ(b.z2, 0.0);
  }
}

TEST(Biquad, ZerosStayZeroAndAConstantPassesUnchanged) {
  Biquad quiet = lowPass(7000, 0.5412, 44100);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(quiet.run(0.0), 0.0);
  Biquad steady = lowPass(7000, 1.3066, 44100);
  double y = 0;
  for (int i = 0; i < 2000; ++i) y = steady.run(0.25);
  EXPECT_NEAR(y, 0.25, 1e-12);
}

TEST(Biquad, ANonFiniteSampleIsFedAsSilence) {
  for (double bad : {NAN, INFINITY, -INFINITY}) {
    Biquad b = lowPass(7000, 1.3066, 48000), reference = b;
    for (int i = 0; i < 10; ++i) b.run(0.1), reference.run(0.1);
    EXPECT_EQ(b.run(sectionInput(bad)), reference.run(0.0));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(b.run(sectionInput(0.1)), reference.run(0.1)) << bad << " sample " << i;
  }
  EXPECT_EQ(sectionInput(-1e30), -1e30);  // finite, however large, is left alone
}

TEST(Biquad, BadDesignsAreNotRefusedButShow) {
  // Corner at half the rate: no damping left, the section is on the edge
  // (2π rounded down leaves sin ω a hair above 0). Above half it is unstable.
  EXPECT_NEAR(lowPass(7000, 0.5412, 14000).a2, 1.0, 1e-15);
  EXPECT_GT(lowPass(7000, 0.5412, 10000).a2, 1.0);
  EXPECT_FALSE(std::isfinite(lowPass(7000, 0, 48000).a2));
  EXPECT_FALSE(std::isfinite(lowPass(7000, 0.5412, 0).b0));
}

}  // namespace
