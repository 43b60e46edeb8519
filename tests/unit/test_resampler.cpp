// The resampler: output counts and positions, the passthrough band, the
// 16-bit conversion, independence from block sizes, and the side-by-side run
// of several channels giving the same bits as one channel at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "dsp/resampler.h"

namespace {

using Samples = std::vector<std::int16_t>;

std::vector<float> noise(std::size_t n, unsigned seed, float amplitude = 1.2f) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-amplitude, amplitude);
  std::vector<float> v(n);
  for (auto& x : v) x = dist(gen);
  return v;
}

std::vector<float> sine(std::size_t n, double rate, double hz, double amplitude) {
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<float>(amplitude * std::sin(6.283185307179586 * hz * static_cast<double>(i) / rate));
  return v;
}

// Bit patterns: a NaN would equal nothing.
std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

Samples resample(double rate, const std::vector<float>& input) {
  Resampler r(rate);
  Samples out;
  r.process(input.data(), static_cast<std::int64_t>(input.size()), out);
  return out;
}

TEST(Sample16, ScalesBy32767ClampsAndTruncates) {
  EXPECT_EQ(toSample16(1.0), 32767);
  EXPECT_EQ(toSample16(-1.0), -32767);
  EXPECT_EQ(toSample16(0.5), 16383);
  EXPECT_EQ(toSample16(-0.5), -16383);
  EXPECT_EQ(toSample16(1.5), 32767);
  EXPECT_EQ(toSample16(-1.5), -32768);
  EXPECT_EQ(toSample16(0.99999 / 32767), 0);
  EXPECT_EQ(toSample16(-0.99999 / 32767), 0);
  EXPECT_EQ(toSample16(NAN), 32767);
  EXPECT_EQ(toSample16(INFINITY), 32767);
  EXPECT_EQ(toSample16(-INFINITY), -32768);
  EXPECT_EQ(toSample16(-32768.5 / 32767), -32768);
}

TEST(ResamplerRate, OnlyFiniteRatesFrom1HzAreValid) {
  for (double bad : {0.0, -0.0, -1.0, -48000.0, 1e-300, 0.999, double(NAN), double(INFINITY), -double(INFINITY)})
    EXPECT_FALSE(validResamplerRate(bad)) << bad;
  for (double good : {1.0, 16000.0, 44100.0, 192000.0, 1e300}) EXPECT_TRUE(validResamplerRate(good)) << good;
}

TEST(ResamplerRate, ARefusedRateBuiltAnywayGivesNothingAndReturns) {
  auto input = noise(5000, 1);
  for (double bad : {0.0, -16000.0, 1e-300, double(NAN), double(INFINITY)}) {
    Resampler r(bad);
    EXPECT_FALSE(r.passesThrough());
    Samples out;
    r.process(input.data(), 5000, out);
    EXPECT_TRUE(out.empty()) << bad;
  }
}

TEST(Resampler, OutputCountsFollowTheStep) {
  auto input = noise(96000, 2);
  EXPECT_EQ(resample(48000, input).size(), 32001u);
  EXPECT_EQ(resample(44100, input).size(), 34830u);
  EXPECT_EQ(resample(96000, input).size(), 16001u);
  EXPECT_EQ(resample(8000, input).size(), 192001u);
}

TEST(Resampler, AppendsWithoutTouchingWhatIsThere) {
  Resampler r(48000);
  Samples out{11, -22, 33};
  auto input = noise(30, 3);
  r.process(input.data(), 0, out);
  EXPECT_EQ(out, (Samples{11, -22, 33}));
  EXPECT_EQ(r.position(), 0.0);
  EXPECT_EQ(r.firstSection().z1, 0.0);
  r.process(input.data(), 30, out);
  ASSERT_EQ(out.size(), 3u + 11);
  EXPECT_EQ(out[0], 11);
  EXPECT_EQ(out[2], 33);
  EXPECT_EQ(out[3], 0);  // a fresh filtering resampler starts at 0, whatever the input
}

TEST(Resampler, At44100OutputsSitAtMultiplesOfTheStep) {
  auto input = sine(20000, 44100, 1000, 0.5);
  auto out = resample(44100, input);
  Biquad a = lowPass(7000, 0.5412, 44100), b = lowPass(7000, 1.3066, 44100);
  std::vector<double> y;
  for (float x : input) y.push_back(b.run(a.run(x)));
  for (std::size_t k = 1; k < out.size(); ++k) {
    double p = static_cast<double>(k) * 2.75625 - 1;
    auto at = static_cast<std::size_t>(std::ceil(p));
    double before = at == 0 ? 0 : y[at - 1];
    EXPECT_NEAR(out[k], toSample16(before + (p - std::ceil(p) + 1) * (y[at] - before)), 1) << k;
  }
}

TEST(Resampler, PassesThroughOnlyStrictlyWithin1HzOf16k) {
  // A tone at the Nyquist frequency: kept when passed through, removed by
  // the low-pass otherwise.
  std::vector<float> nyquist(4000);
  for (std::size_t i = 0; i < nyquist.size(); ++i) nyquist[i] = i % 2 ? -0.5f : 0.5f;
  for (double rate : {15999.5, 16000.0, 16000.5}) {
    Resampler r(rate);
    EXPECT_TRUE(r.passesThrough()) << rate;
    Samples out;
    r.process(nyquist.data(), 4000, out);
    ASSERT_EQ(out.size(), 4000u);
    for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i % 2 ? -16383 : 16383) << rate;
    EXPECT_EQ(r.position(), 0.0);
    EXPECT_EQ(r.firstSection().z1, 0.0);
  }
  for (double rate : {15999.0, 16001.0}) {
    Resampler r(rate);
    EXPECT_FALSE(r.passesThrough()) << rate;
    Samples out;
    r.process(nyquist.data(), 4000, out);
    EXPECT_NEAR(static_cast<double>(out.size()), 4000 * 16000 / rate, 2) << rate;
    for (std::size_t i = 100; i < out.size(); ++i) ASSERT_LT(std::abs(out[i]), 300) << rate << " at " << i;
  }
}

TEST(Resampler, BlockSizesDoNotChangeTheOutput) {
  std::mt19937 gen(5);
  for (double rate : {8000.0, 15999.0, 16000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    auto input = noise(40000, 6);
    auto whole = resample(rate, input);
    Resampler r(rate);
    Samples pieces;
    std::size_t at = 0;
    while (at < input.size()) {
      std::size_t size = std::min<std::size_t>(input.size() - at, gen() % 5 == 0 ? 0 : gen() % 3000);
      r.process(input.data() + at, static_cast<std::int64_t>(size), pieces);
      at += size;
    }
    EXPECT_EQ(pieces, whole) << rate;
  }
}

TEST(Resampler, ANonFiniteSampleIsSilenceThenTheChannelGoesOn) {
  for (double rate : {8000.0, 16000.0, 44100.0, 48000.0})
    for (float bad : {NAN, INFINITY, -INFINITY}) {
      auto input = noise(10000, 7, 0.3f);
      auto zeroed = input;
      input[5000] = bad;
      zeroed[5000] = 0;
      Resampler r(rate);
      Samples out;
      r.process(input.data(), 5000, out);
      r.process(input.data() + 5000, 5000, out);
      EXPECT_EQ(out, resample(rate, zeroed)) << rate << " " << bad;
      EXPECT_EQ(r.nonFiniteSamples(), 1u);
      std::vector<Resampler> side;
      for (int c = 0; c < 4; ++c) side.emplace_back(rate);
      std::vector<float> blocks(4 * input.size(), 0.25f);
      std::copy(input.begin(), input.end(), blocks.begin() + 2 * input.size());
      std::vector<Samples> into(4);
      processChannels(side, blocks.data(), input.size(), into);
      EXPECT_EQ(into[2], out);
      EXPECT_EQ(side[2].nonFiniteSamples(), 1u);
      EXPECT_EQ(side[1].nonFiniteSamples(), 0u);
    }
}

// Below 14 kHz the 7 kHz corner would lie at or above half the rate: a tone
// must still come out at its level and frequency, nowhere near the clamp.
TEST(Resampler, LowRatesKeepAToneAtItsLevel) {
  for (double rate : {8000.0, 11025.0, 12000.0, 14000.0, 14001.0}) {
    auto input = sine(static_cast<std::size_t>(rate) * 2, rate, 300, 0.5);
    Samples out = resample(rate, input);
    // The second second, against a 300 Hz sine of the same phase at 16 kHz.
    double sumSquares = 0, correlation = 0;
    std::size_t from = 16000, n = 16000;
    ASSERT_GE(out.size(), from + n) << rate;
    for (std::size_t k = from; k < from + n; ++k) {
      double v = out[k] / 32767.0;
      sumSquares += v * v;
      correlation += v * std::sin(6.283185307179586 * 300 * static_cast<double>(k) / 16000);
      ASSERT_LT(std::abs(out[k]), 16500) << rate << " at " << k;
    }
    double rms = std::sqrt(sumSquares / static_cast<double>(n));
    EXPECT_NEAR(20 * std::log10(rms / (0.5 / std::sqrt(2.0))), 0.0, 0.5) << rate;
    // Nearly all of it is the 300 Hz tone (a phase lag only moves it to the cosine).
    double inPhase = correlation * 2 / static_cast<double>(n);
    EXPECT_GT(inPhase, 0.4) << rate;
  }
}

// Every channel through processChannels against each channel through its own
// process calls, over channel counts that use every lane width.
void expectSameAsOneByOne(std::vector<double> rates, std::size_t frames, int blocks, unsigned seed) {
  std::size_t channels = rates.size();
  std::vector<Resampler> together, alone;
  for (double rate : rates) {
    together.emplace_back(rate);
    alone.emplace_back(rate);
  }
  std::vector<Samples> intoTogether(channels), intoAlone(channels);
  for (std::size_t c = 0; c < channels; ++c) intoTogether[c].assign(c, 7);  // buffers of different lengths
  intoAlone = intoTogether;
  for (int b = 0; b < blocks; ++b) {
    auto block = noise(frames * channels, seed + b);
    processChannels(together, block.data(), frames, intoTogether);
    for (std::size_t c = 0; c < channels; ++c)
      alone[c].process(block.data() + c * frames, static_cast<std::int64_t>(frames), intoAlone[c]);
  }
  for (std::size_t c = 0; c < channels; ++c) {
    EXPECT_EQ(intoTogether[c], intoAlone[c]) << "channel " << c;
    EXPECT_EQ(bits(together[c].position()), bits(alone[c].position()));
    EXPECT_EQ(bits(together[c].previous()), bits(alone[c].previous()));
    EXPECT_EQ(bits(together[c].firstSection().z1), bits(alone[c].firstSection().z1));
    EXPECT_EQ(bits(together[c].secondSection().z2), bits(alone[c].secondSection().z2));
  }
}

TEST(ProcessChannels, GivesTheBitsOfOneChannelAtATime) {
  for (std::size_t channels = 1; channels <= 9; ++channels)
    for (double rate : {44100.0, 48000.0, 96000.0, 8000.0, 16000.0}) {
      SCOPED_TRACE(testing::Message() << channels << " channels at " << rate);
      expectSameAsOneByOne(std::vector<double>(channels, rate), 777, 4, static_cast<unsigned>(channels));
    }
}

TEST(ProcessChannels, ChannelsAtDifferentRatesOrPlacesStayApart) {
  expectSameAsOneByOne({48000, 44100, 48000, 48000, 48000, 16000, 48000, 96000}, 1000, 3, 20);
  // 8000 outputs per input: far more than one block's first reservation.
  expectSameAsOneByOne({2, 2, 2, 2, 2}, 150, 2, 30);
  // One channel a few samples ahead of the others.
  std::vector<Resampler> rs;
  for (int c = 0; c < 4; ++c) rs.emplace_back(44100);
  std::vector<Samples> into(4), alone(4);
  auto lead = noise(5, 21);
  std::vector<Resampler> ref;
  for (int c = 0; c < 4; ++c) ref.emplace_back(44100);
  Samples scratch;
  rs[2].process(lead.data(), 5, into[2]);
  ref[2].process(lead.data(), 5, scratch);
  alone = into;
  auto block = noise(4 * 3000, 22);
  processChannels(rs, block.data(), 3000, into);
  for (std::size_t c = 0; c < 4; ++c) {
    ref[c].process(block.data() + c * 3000, 3000, alone[c]);
    EXPECT_EQ(into[c], alone[c]) << c;
  }
}

// A gap skipped once the filters have rung out: as many zeros as silence fed
// through process gives, and the same position to the bit, in chunks or not,
// for channels in step (one count) and one a few samples ahead (its own).
TEST(SkipSettledSilence, CountsAndMovesAsZerosThroughProcessDo) {
  for (double rate : {44100.0, 48000.0, 8000.0, 15999.0, 16000.0, 96000.0}) {
    SCOPED_TRACE(testing::Message() << rate);
    std::vector<Resampler> skipped, fed;
    for (int c = 0; c < 3; ++c) {
      skipped.emplace_back(rate);
      fed.emplace_back(rate);
    }
    std::vector<Samples> intoSkipped(3), intoFed(3);
    auto lead = noise(5, 41);
    skipped[2].process(lead.data(), 5, intoSkipped[2]);
    fed[2].process(lead.data(), 5, intoFed[2]);
    auto audio = noise(3000, 42);
    std::vector<float> settle(2 * 8192, 0.0f), gap(8192 + 8192 + 777, 0.0f);
    for (std::size_t c = 0; c < 3; ++c) {
      for (auto [r, into] : {std::pair{&skipped[c], &intoSkipped[c]}, std::pair{&fed[c], &intoFed[c]}}) {
        r->process(audio.data(), 3000, *into);
        r->process(settle.data(), static_cast<std::int64_t>(settle.size()), *into);
      }
      fed[c].process(gap.data(), static_cast<std::int64_t>(gap.size()), intoFed[c]);
    }
    for (std::int64_t chunk : {8192, 8192, 777}) skipSettledSilence(skipped, chunk, intoSkipped);
    for (std::size_t c = 0; c < 3; ++c) {
      EXPECT_EQ(intoSkipped[c], intoFed[c]) << "channel " << c;
      EXPECT_EQ(bits(skipped[c].position()), bits(fed[c].position())) << "channel " << c;
    }
  }
}

TEST(ProcessChannels, AnEmptyBlockChangesNothing) {
  std::vector<Resampler> rs;
  rs.emplace_back(48000);
  rs.emplace_back(48000);
  std::vector<Samples> into(2);
  processChannels(rs, nullptr, 0, into);
  EXPECT_TRUE(into[0].empty());
  EXPECT_EQ(rs[1].position(), 0.0);
}

}  // namespace
