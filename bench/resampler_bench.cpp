// Input samples per second through the resampler, one channel at a time and
// every channel of a capture side by side, in blocks of the largest size the
// capture hands over.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "dsp/resampler.h"

namespace {

constexpr std::size_t blockFrames = 8192;

std::vector<float> noise(std::size_t n) {
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> dist(-0.9f, 0.9f);
  std::vector<float> v(n);
  for (auto& x : v) x = dist(gen);
  return v;
}

void oneChannel(benchmark::State& state) {
  auto rate = static_cast<double>(state.range(0));
  auto input = noise(blockFrames);
  Resampler r(rate);
  std::vector<std::int16_t> out;
  for (auto _ : state) {
    out.clear();
    r.process(input.data(), blockFrames, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * blockFrames));
}
BENCHMARK(oneChannel)->Arg(44100)->Arg(48000)->Arg(96000);

void sixteenChannels(benchmark::State& state) {
  constexpr std::size_t channels = 16;
  auto rate = static_cast<double>(state.range(0));
  auto input = noise(blockFrames * channels);
  std::vector<Resampler> rs;
  for (std::size_t c = 0; c < channels; ++c) rs.emplace_back(rate);
  std::vector<std::vector<std::int16_t>> out(channels);
  for (auto _ : state) {
    for (auto& o : out) o.clear();
    processChannels(rs, input.data(), blockFrames, out);
    benchmark::DoNotOptimize(out[0].data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * blockFrames * channels));
}
BENCHMARK(sixteenChannels)->Arg(44100)->Arg(48000)->Arg(96000);

}  // namespace

BENCHMARK_MAIN();
