// Stand-in.
#include "dsp/resampler.h"

#include <cmath>

Resampler::Resampler(double rate)
    : f1(7000, 0.5412, rate), f2(7000, 1.3066, rate), step(rate / 16000), passthrough(std::fabs(rate - 16000) < 1) {}

void Resampler::process(const float*, std::int64_t, std::vector<std::int16_t>&) {}

bool validResamplerRate(double rate) { return std::isfinite(rate) && rate > 0; }

std::int16_t toSample16(double) { return 0; }
