#pragma once
// What one PCM offers for capture, found by opening it without blocking.
#include <string>
#include <vector>

#include "platform/api/core_audio.h"

struct AlsaProbe {
  bool usable = false;  // opens for capture and is not a null PCM
  bool busy = false;    // another program holds it
  UInt32 channels = 0;
  std::vector<AudioValueRange> ranges;
  double preferredRate = 0;  // 48000 when offered, else the nearest offered rate
};

// Hardware reports its maximum channel count. A plugin reports its fixed count,
// or its maximum up to 64 when the count is free (plugins convert and may
// claim thousands). Plugins are asked without automatic
// resampling and channel conversion, so they show what they carry natively.
// Rates: a fixed rate as one range; a PCM that takes any rate between its
// bounds as one range min..max; otherwise each accepted candidate rate alone.
AlsaProbe probeAlsaPcm(const std::string& pcm, bool hardware);

// Whether `rate` lies in one of `ranges` (within half a hertz); the rate to
// use for it.
bool offersRate(const std::vector<AudioValueRange>& ranges, double rate, double* use);
