#include "dsp/resampler.h"

#include <algorithm>
#include <cmath>
#include <limits>

bool validResamplerRate(double rate) { return std::isfinite(rate) && rate >= 1; }

Resampler::Resampler(double rate)
    : f1(7000, 0.5412, rate), f2(7000, 1.3066, rate), step(rate / 16000), passthrough(std::fabs(rate - 16000) < 1) {
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

// Makes room beyond `used` samples of `into`, at least doubling, and returns
// the new end of the room.
std::size_t grow(std::vector<std::int16_t>& into, std::size_t used, std::size_t more) {
  std::size_t want = std::max(used + more, into.size() * 2 + 64);
  into.resize(want);
  return want;
}

}  // namespace

void Resampler::process(const float* samples, std::int64_t count, std::vector<std::int16_t>& into) {
  if (count <= 0) return;
  auto n = static_cast<std::size_t>(count);
  std::size_t used = into.size();
  if (passthrough) {
    into.resize(used + n);
    std::int16_t* out = into.data() + used;
    for (std::size_t i = 0; i < n; ++i) out[i] = toSample16(static_cast<double>(samples[i]));
    return;
  }

  // The state lives in locals for the loop so it stays in registers.
  Biquad a = f1, b = f2;
  double p = pos, pv = prev;
  const double st = step;
  std::size_t room = std::max(into.size(), used + expectedOutput(st, n));
  into.resize(room);
  for (std::size_t i = 0; i < n; ++i) {
    double y = b.run(a.run(static_cast<double>(samples[i])));
    while (p <= 1.0) {
      if (used == room) room = grow(into, used, expectedOutput(st, n - i));
      into.data()[used++] = toSample16(pv + p * (y - pv));
      p = st + p;
    }
    p = p - 1.0;
    pv = y;
  }
  into.resize(used);
  f1 = a;
  f2 = b;
  pos = p;
  prev = pv;
}

namespace {

// Two doubles in one register: each lane is rounded exactly like a scalar
// double, so lanes give the same bits as process.
typedef double Pair __attribute__((vector_size(2 * sizeof(double))));

// One Biquad per lane.
struct PairSection {
  Pair b0, b1, b2, a1, a2, z1, z2;

  Pair run(Pair x) {
    Pair y = b0 * x + z1;
    z1 = z2 + (b1 * x - a1 * y);
    z2 = b2 * x - a2 * y;
    return y;
  }
};

PairSection pairOf(const Biquad& l, const Biquad& r) {
  PairSection s;
  s.b0 = Pair{l.b0, r.b0}, s.b1 = Pair{l.b1, r.b1}, s.b2 = Pair{l.b2, r.b2};
  s.a1 = Pair{l.a1, r.a1}, s.a2 = Pair{l.a2, r.a2};
  s.z1 = Pair{l.z1, r.z1}, s.z2 = Pair{l.z2, r.z2};
  return s;
}

void unpair(const PairSection& s, Biquad& l, Biquad& r) {
  l.z1 = s.z1[0], l.z2 = s.z2[0];
  r.z1 = s.z1[1], r.z2 = s.z2[1];
}

bool sameCourse(const Resampler& a, const Resampler& b) {
  return !a.passthrough && !b.passthrough && a.step == b.step && a.pos == b.pos;
}

// Runs 2 × K resamplers that share step and pos in lockstep: one filter chain
// per lane, one interpolation position for all. Several independent chains in
// flight hide the latency of each; K is small enough that the state stays in
// registers.
template <std::size_t K>
void runSideBySide(Resampler* rs, const float* blocks, std::size_t frames, std::vector<std::int16_t>* into) {
  constexpr std::size_t L = 2 * K;
  PairSection first[K], second[K];
  Pair pv[K];
  for (std::size_t k = 0; k < K; ++k) {
    Resampler &l = rs[2 * k], &r = rs[2 * k + 1];
    first[k] = pairOf(l.f1, r.f1);
    second[k] = pairOf(l.f2, r.f2);
    pv[k] = Pair{l.prev, r.prev};
  }
  const float* in[L];
  std::size_t used[L];
  for (std::size_t l = 0; l < L; ++l) {
    in[l] = blocks + l * frames;
    used[l] = into[l].size();
  }
  double p = rs[0].pos;
  const double st = rs[0].step;

  // All lanes emit together, so one count of free room serves them all.
  std::size_t emitted = 0, room = expectedOutput(st, frames);
  std::int16_t* out[L];
  for (std::size_t l = 0; l < L; ++l) {
    into[l].resize(std::max(into[l].size(), used[l] + room));
    out[l] = into[l].data() + used[l];
  }

  for (std::size_t i = 0; i < frames; ++i) {
    Pair y[K];
    for (std::size_t k = 0; k < K; ++k) {
      Pair x = {static_cast<double>(in[2 * k][i]), static_cast<double>(in[2 * k + 1][i])};
      y[k] = second[k].run(first[k].run(x));
    }
    while (p <= 1.0) {
      if (emitted == room) {
        std::size_t more = expectedOutput(st, frames - i);
        for (std::size_t l = 0; l < L; ++l) {
          grow(into[l], used[l] + emitted, more);
          out[l] = into[l].data() + used[l];
        }
        room = into[0].size() - used[0];
        for (std::size_t l = 1; l < L; ++l) room = std::min(room, into[l].size() - used[l]);
      }
      for (std::size_t k = 0; k < K; ++k) {
        Pair v = pv[k] + p * (y[k] - pv[k]);
        out[2 * k][emitted] = toSample16(v[0]);
        out[2 * k + 1][emitted] = toSample16(v[1]);
      }
      ++emitted;
      p = st + p;
    }
    p = p - 1.0;
    for (std::size_t k = 0; k < K; ++k) pv[k] = y[k];
  }

  for (std::size_t k = 0; k < K; ++k) {
    Resampler &l = rs[2 * k], &r = rs[2 * k + 1];
    unpair(first[k], l.f1, r.f1);
    unpair(second[k], l.f2, r.f2);
    l.prev = pv[k][0], r.prev = pv[k][1];
  }
  for (std::size_t l = 0; l < L; ++l) {
    into[l].resize(used[l] + emitted);
    rs[l].pos = p;
  }
}

}  // namespace

void processChannels(std::span<Resampler> resamplers, const float* blocks, std::size_t frames,
                     std::span<std::vector<std::int16_t>> into) {
  std::size_t count = std::min(resamplers.size(), into.size());
  if (frames == 0) return;
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (run < 4 && i + run < count && sameCourse(resamplers[i], resamplers[i + run])) ++run;
    const float* first = blocks + i * frames;
    if (run == 4) {
      runSideBySide<2>(&resamplers[i], first, frames, &into[i]);
    } else if (run >= 2) {
      run = 2;
      runSideBySide<1>(&resamplers[i], first, frames, &into[i]);
    } else {
      resamplers[i].process(first, static_cast<std::int64_t>(frames), into[i]);
    }
    i += run;
  }
}
