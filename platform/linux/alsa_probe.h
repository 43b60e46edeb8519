#pragma once
// What one PCM offers for capture, found by opening it without blocking.
#include <chrono>
#include <string>
#include <vector>

#include "platform/api/core_audio.h"

struct AlsaProbe {
  bool answered = true;  // false: the probe did not finish within its time limit
  bool usable = false;  // opens for capture and is not a null PCM
  bool busy = false;    // another program holds it
  bool denied = false;  // the user may not open it (EACCES, EPERM)
  UInt32 channels = 0;
  std::vector<AudioValueRange> ranges;
  double preferredRate = 0;  // 48000 when offered, else the nearest offered rate
};

// Hardware reports its maximum channel count. A plugin reports its fixed count,
// or its maximum up to 64 when the count is free (plugins convert and may
// claim thousands). Plugins are asked without automatic
// resampling and channel conversion, so they show what they carry natively.
// Rates: a fixed rate as one range; a PCM that takes any rate between its
// bounds as one range min..max; otherwise each accepted rate alone, of the
// candidate rates and the two bounds.
AlsaProbe probeAlsaPcm(const std::string& pcm, bool hardware);

// probeAlsaPcm with a time limit: an open that blocks (a file plugin reading
// a FIFO nobody writes, a driver stuck in open) cannot be interrupted, so the
// probe runs on a thread of its own, which is left behind if it does not
// answer in time (the process ends with _exit, never waiting for it). Then
// the result is not usable and not `answered`.
AlsaProbe probeAlsaPcmWithin(const std::string& pcm, bool hardware, std::chrono::milliseconds limit);

// Whether `rate` lies in one of `ranges` (within half a hertz); the rate to
// use for it.
bool offersRate(const std::vector<AudioValueRange>& ranges, double rate, double* use);
