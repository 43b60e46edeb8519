#include "dsp/resampler.h"

#include <algorithm>
#include <cmath>
#include <limits>

bool validResamplerRate(double rate) { return std::isfinite(rate) && rate > 0; }

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

// Plain vectors of doubles: each lane is rounded exactly like a scalar double,
// so lanes give the same bits as process.
typedef double Lanes2 __attribute__((vector_size(2 * sizeof(double))));
typedef double Lanes4 __attribute__((vector_size(4 * sizeof(double))));

bool sameCourse(const Resampler& a, const Resampler& b) {
  return !a.passthrough && !b.passthrough && a.step == b.step && a.pos == b.pos;
}

// Runs L resamplers that share step and pos in lockstep: one filter chain per
// lane, one interpolation position for all.
template <typename V>
void runSideBySide(Resampler* rs, const float* blocks, std::size_t frames, std::vector<std::int16_t>* into) {
  constexpr std::size_t L = sizeof(V) / sizeof(double);
  V ab0, ab1, ab2, aa1, aa2, az1, az2, bb0, bb1, bb2, ba1, ba2, bz1, bz2, pv;
  const float* in[L];
  std::size_t used[L];
  for (std::size_t l = 0; l < L; ++l) {
    const Resampler& r = rs[l];
    ab0[l] = r.f1.b0, ab1[l] = r.f1.b1, ab2[l] = r.f1.b2, aa1[l] = r.f1.a1, aa2[l] = r.f1.a2;
    az1[l] = r.f1.z1, az2[l] = r.f1.z2;
    bb0[l] = r.f2.b0, bb1[l] = r.f2.b1, bb2[l] = r.f2.b2, ba1[l] = r.f2.a1, ba2[l] = r.f2.a2;
    bz1[l] = r.f2.z1, bz2[l] = r.f2.z2;
    pv[l] = r.prev;
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
    V x;
    for (std::size_t l = 0; l < L; ++l) x[l] = static_cast<double>(in[l][i]);
    V y1 = ab0 * x + az1;
    az1 = az2 + (ab1 * x - aa1 * y1);
    az2 = ab2 * x - aa2 * y1;
    V y = bb0 * y1 + bz1;
    bz1 = bz2 + (bb1 * y1 - ba1 * y);
    bz2 = bb2 * y1 - ba2 * y;
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
      V v = pv + p * (y - pv);
      for (std::size_t l = 0; l < L; ++l) out[l][emitted] = toSample16(v[l]);
      ++emitted;
      p = st + p;
    }
    p = p - 1.0;
    pv = y;
  }

  for (std::size_t l = 0; l < L; ++l) {
    into[l].resize(used[l] + emitted);
    Resampler& r = rs[l];
    r.f1.z1 = az1[l], r.f1.z2 = az2[l], r.f2.z1 = bz1[l], r.f2.z2 = bz2[l];
    r.prev = pv[l];
    r.pos = p;
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
      runSideBySide<Lanes4>(&resamplers[i], first, frames, &into[i]);
    } else if (run >= 2) {
      run = 2;
      runSideBySide<Lanes2>(&resamplers[i], first, frames, &into[i]);
    } else {
      resamplers[i].process(first, static_cast<std::int64_t>(frames), into[i]);
    }
    i += run;
  }
}
