#include "dsp/resampler.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "frame/stream_rate.h"

bool validResamplerRate(double rate) { return std::isfinite(rate) && rate >= 1; }

double antiAliasCorner(double rate) { return 7000 < rate * 0.5 ? 7000 : rate * 0.45; }

Resampler::Resampler(double rate)
    : f1(lowPass(antiAliasCorner(rate), 0.5412, rate)),
      f2(lowPass(antiAliasCorner(rate), 1.3066, rate)),
      step(rate / framing::streamRate),
      passthrough(std::fabs(rate - framing::streamRate) < 1) {
  if (!validResamplerRate(rate)) {
    // Parked beyond every input: the interpolation loop never runs.
    step = std::numeric_limits<double>::infinity();
    pos = step;
  }
}

namespace {

// Output samples one call can append, give or take the rounding of `pos`;
// the loops still check, so this only saves growing in small steps.
std::size_t expectedOutput(double step, std::size_t count) {
  if (!(step > 0)) return 0;
  double n = (static_cast<double>(count) + 1) / step + 2;
  return n < 1e6 ? static_cast<std::size_t>(n) : 1000000;
}

// One input sample's part of the interpolation's course: `emit(p)` at every
// output position p up to the sample, then the position from the next sample
// on. The filtering loop and a counted gap both take these steps, so a gap
// leaves the position at the bits real silence would have. Forced inline,
// `emit` too: called, the lock-step loops lose about a third of their speed.
template <class Emit>
[[gnu::always_inline]] inline double passSample(double p, double increment, Emit&& emit) {
  while (p <= 1.0) {
    emit(p);
    p = increment + p;
  }
  return p - 1.0;
}

// Makes room beyond `used` samples of `into`, at least doubling.
void grow(std::vector<std::int16_t>& into, std::size_t used, std::size_t more) {
  into.resize(std::max(used + more, into.size() * 2 + 64));
}

// Two doubles in one register for channels side by side.
typedef double Pair __attribute__((vector_size(2 * sizeof(double))));

// The channels one Lane carries, and access to each.
template <class Lane>
constexpr std::size_t widthOf = sizeof(Lane) / sizeof(double);

template <class Lane>
double lane(const Lane& v, std::size_t j) {
  if constexpr (widthOf<Lane> == 1) {
    return v;
  } else {
    return v[j];
  }
}

template <class Lane>
void setLane(Lane& v, std::size_t j, double x) {
  if constexpr (widthOf<Lane> == 1) {
    v = x;
  } else {
    v[j] = x;
  }
}

template <class Lane>
void setLane(BiquadSection<Lane>& s, std::size_t j, const Biquad& b) {
  setLane(s.b0, j, b.b0), setLane(s.b1, j, b.b1), setLane(s.b2, j, b.b2);
  setLane(s.a1, j, b.a1), setLane(s.a2, j, b.a2);
  setLane(s.z1, j, b.z1), setLane(s.z2, j, b.z2);
}

template <class Lane>
void takeLane(const BiquadSection<Lane>& s, std::size_t j, Biquad& b) {
  b.z1 = lane(s.z1, j), b.z2 = lane(s.z2, j);
}

}  // namespace

// The filter-and-interpolate step for K × width resamplers that share step
// and pos, channel l's `frames` samples at blocks + l × frames: one filter
// chain per Lane, one interpolation position for all. Several independent
// chains in flight hide the latency of each; K is small enough that the
// state stays in registers. One double and K = 1 is a lone channel.
template <class Lane, std::size_t K>
void Resampler::runInLockstep(Resampler* resamplers, const float* blocks, std::size_t frames,
                              std::vector<std::int16_t>* into) {
  constexpr std::size_t W = widthOf<Lane>, L = K * W;
  BiquadSection<Lane> first[K], second[K];
  Lane lastOut[K];
  const float* in[L];
  std::size_t used[L];
  std::uint64_t nonFinite[L] = {};
  for (std::size_t l = 0; l < L; ++l) {
    setLane(first[l / W], l % W, resamplers[l].f1);
    setLane(second[l / W], l % W, resamplers[l].f2);
    setLane(lastOut[l / W], l % W, resamplers[l].prev);
    in[l] = blocks + l * frames;
    used[l] = into[l].size();
  }
  double p = resamplers[0].pos;
  const double increment = resamplers[0].step;

  // All lanes emit together, so one count of free room serves them all.
  std::size_t emitted = 0, room = expectedOutput(increment, frames);
  std::int16_t* out[L];
  for (std::size_t l = 0; l < L; ++l) {
    into[l].resize(std::max(into[l].size(), used[l] + room));
    out[l] = into[l].data() + used[l];
  }

  for (std::size_t i = 0; i < frames; ++i) {
    Lane y[K];
    for (std::size_t k = 0; k < K; ++k) {
      Lane x{};
      for (std::size_t j = 0; j < W; ++j) {
        double sample = static_cast<double>(in[k * W + j][i]);
        nonFinite[k * W + j] += !finiteSample(sample);
        setLane(x, j, sectionInput(sample));
      }
      y[k] = second[k].run(first[k].run(x));
    }
    p = passSample(p, increment, [&](double at) __attribute__((always_inline)) {
      if (emitted == room) {
        std::size_t more = expectedOutput(increment, frames - i);
        for (std::size_t l = 0; l < L; ++l) {
          grow(into[l], used[l] + emitted, more);
          out[l] = into[l].data() + used[l];
        }
        room = into[0].size() - used[0];
        for (std::size_t l = 1; l < L; ++l) room = std::min(room, into[l].size() - used[l]);
      }
      for (std::size_t k = 0; k < K; ++k) {
        Lane v = lastOut[k] + at * (y[k] - lastOut[k]);
        for (std::size_t j = 0; j < W; ++j) out[k * W + j][emitted] = toSample16(lane(v, j));
      }
      ++emitted;
    });
    for (std::size_t k = 0; k < K; ++k) lastOut[k] = y[k];
  }

  for (std::size_t l = 0; l < L; ++l) {
    takeLane(first[l / W], l % W, resamplers[l].f1);
    takeLane(second[l / W], l % W, resamplers[l].f2);
    resamplers[l].prev = lane(lastOut[l / W], l % W);
    resamplers[l].pos = p;
    resamplers[l].nonFinite += nonFinite[l];
    into[l].resize(used[l] + emitted);
  }
}

bool Resampler::sameCourse(const Resampler& a, const Resampler& b) {
  return !a.passthrough && !b.passthrough && a.step == b.step && a.pos == b.pos;
}

std::size_t Resampler::passOver(std::int64_t frames) {
  if (frames <= 0) return 0;
  if (passthrough) return static_cast<std::size_t>(frames);
  std::size_t emitted = 0;
  double p = pos;
  for (std::int64_t i = 0; i < frames; ++i) p = passSample(p, step, [&emitted](double) { ++emitted; });
  pos = p;
  return emitted;
}

void Resampler::process(const float* samples, std::int64_t count, std::vector<std::int16_t>& into) {
  if (count <= 0) return;
  auto n = static_cast<std::size_t>(count);
  if (passthrough) {
    std::size_t used = into.size();
    into.resize(used + n);
    std::int16_t* out = into.data() + used;
    std::uint64_t bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
      double sample = static_cast<double>(samples[i]);
      bad += !finiteSample(sample);
      out[i] = toSample16(sectionInput(sample));
    }
    nonFinite += bad;
    return;
  }
  runInLockstep<double, 1>(this, samples, n, &into);
}

void processChannels(std::span<Resampler> resamplers, const float* blocks, std::size_t frames,
                     std::span<std::vector<std::int16_t>> into) {
  std::size_t count = std::min(resamplers.size(), into.size());
  if (frames == 0) return;
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (run < 4 && i + run < count && Resampler::sameCourse(resamplers[i], resamplers[i + run])) ++run;
    const float* first = blocks + i * frames;
    if (run == 4) {
      Resampler::runInLockstep<Pair, 2>(&resamplers[i], first, frames, &into[i]);
    } else if (run >= 2) {
      run = 2;
      Resampler::runInLockstep<Pair, 1>(&resamplers[i], first, frames, &into[i]);
    } else {
      resamplers[i].process(first, static_cast<std::int64_t>(frames), into[i]);
    }
    i += run;
  }
}

void skipSettledSilence(std::span<Resampler> resamplers, std::int64_t frames,
                        std::span<std::vector<std::int16_t>> into) {
  std::size_t count = std::min(resamplers.size(), into.size());
  std::size_t i = 0;
  while (i < count) {
    Resampler& lead = resamplers[i];
    std::size_t run = 1;
    while (i + run < count && Resampler::sameCourse(lead, resamplers[i + run])) ++run;
    std::size_t emitted = lead.passOver(frames);
    for (std::size_t j = i; j < i + run; ++j) {
      Resampler& r = resamplers[j];
      r.f1.z1 = r.f1.z2 = r.f2.z1 = r.f2.z2 = 0;
      r.prev = 0;
      r.pos = lead.pos;
      into[j].insert(into[j].end(), emitted, 0);
    }
    i += run;
  }
}
