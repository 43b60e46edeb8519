#include "platform/linux/alsa_probe.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <memory>
#include <set>

#include "platform/candidate_rates.h"
#include "platform/linux/alsa_quiet.h"

namespace {
constexpr unsigned preferred = 48000;
// A plugin that takes any channel count (a sound server's PCM, a plug over a
// console) is listed with this many, so that every channel of the largest
// consoles behind it (64, as a MADI link carries) can be picked.
constexpr unsigned anyCountCeiling = 64;
// Rates no device lists on purpose: a PCM that takes both converts freely.
constexpr std::array<unsigned, 2> offTableRates = {17001, 45001};

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
struct ParamsFree {
  void operator()(snd_pcm_hw_params_t* params) const { snd_pcm_hw_params_free(params); }
};

UInt32 captureChannels(unsigned min, unsigned max, bool hardware) {
  if (hardware || min == max) return max;
  return std::max(min, std::min(max, anyCountCeiling));
}

bool acceptsRate(snd_pcm_t* pcm, snd_pcm_hw_params_t* params, unsigned rate) {
  return snd_pcm_hw_params_test_rate(pcm, params, rate, 0) == 0;
}

// The lowest and highest whole rates: ALSA gives a rate bound as a value and
// a side, so a PCM fixed at R reads as R up to, but not including, R + 1.
bool wholeRateBounds(snd_pcm_hw_params_t* params, unsigned* min, unsigned* max) {
  int minSide = 0, maxSide = 0;
  if (snd_pcm_hw_params_get_rate_min(params, min, &minSide) < 0 ||
      snd_pcm_hw_params_get_rate_max(params, max, &maxSide) < 0)
    return false;
  if (minSide > 0) ++*min;
  if (maxSide < 0 && *max > 0) --*max;
  return *min <= *max;
}

double nearestToPreferred(const std::vector<AudioValueRange>& ranges) {
  double best = 0;
  for (const auto& range : ranges) {
    double candidate = std::clamp(double{preferred}, range.mMinimum, range.mMaximum);
    if (best == 0 || std::fabs(candidate - preferred) < std::fabs(best - preferred)) best = candidate;
  }
  return best;
}
}  // namespace

bool offersRate(const std::vector<AudioValueRange>& ranges, double rate, double* use) {
  for (const auto& range : ranges) {
    if (rate >= range.mMinimum - 0.5 && rate <= range.mMaximum + 0.5) {
      *use = std::clamp(rate, range.mMinimum, range.mMaximum);
      return true;
    }
  }
  return false;
}

AlsaProbe probeAlsaPcm(const std::string& name, bool hardware) {
  quietAlsa();
  AlsaProbe probe;
  snd_pcm_t* opened = nullptr;
  int mode = SND_PCM_NONBLOCK | SND_PCM_NO_AUTO_RESAMPLE | SND_PCM_NO_AUTO_CHANNELS;
  if (int err = snd_pcm_open(&opened, name.c_str(), SND_PCM_STREAM_CAPTURE, mode); err < 0) {
    probe.busy = err == -EBUSY;
    probe.denied = err == -EACCES || err == -EPERM;
    return probe;
  }
  std::unique_ptr<snd_pcm_t, PcmCloser> pcm(opened);
  if (snd_pcm_type(pcm.get()) == SND_PCM_TYPE_NULL) return probe;

  snd_pcm_hw_params_t* allocated = nullptr;
  if (snd_pcm_hw_params_malloc(&allocated) < 0) return probe;
  std::unique_ptr<snd_pcm_hw_params_t, ParamsFree> params(allocated);
  if (snd_pcm_hw_params_any(pcm.get(), params.get()) < 0) return probe;

  unsigned minChannels = 0, maxChannels = 0;
  if (snd_pcm_hw_params_get_channels_min(params.get(), &minChannels) < 0 ||
      snd_pcm_hw_params_get_channels_max(params.get(), &maxChannels) < 0 || maxChannels == 0)
    return probe;
  probe.channels = captureChannels(minChannels, maxChannels, hardware);
  // Rates can depend on the channel count (some hardware does 96 kHz in stereo only).
  if (snd_pcm_hw_params_set_channels(pcm.get(), params.get(), probe.channels) < 0) return probe;

  unsigned minRate = 0, maxRate = 0;
  if (!wholeRateBounds(params.get(), &minRate, &maxRate)) return probe;
  bool continuous = minRate < maxRate;
  for (unsigned rate : offTableRates)
    continuous = continuous && minRate < rate && rate < maxRate && acceptsRate(pcm.get(), params.get(), rate);
  if (minRate == maxRate || continuous) {
    probe.ranges.push_back({double(minRate), double(maxRate)});
  } else {
    // Some rates only: the table's, and the bounds, which are rates the PCM
    // takes even when the table has neither (hardware at 8000 and 11025 Hz).
    std::set<unsigned> rates;
    for (unsigned rate : candidateRates) rates.insert(rate);
    rates.insert({minRate, maxRate});
    for (unsigned rate : rates)
      if (minRate <= rate && rate <= maxRate && acceptsRate(pcm.get(), params.get(), rate))
        probe.ranges.push_back({double(rate), double(rate)});
  }
  if (probe.ranges.empty()) return probe;
  probe.preferredRate = nearestToPreferred(probe.ranges);
  probe.usable = true;
  return probe;
}
