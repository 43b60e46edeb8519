#pragma once
// The nominal rates the program names when a device offers a span of rates;
// the Linux layer asks a PCM about each when it offers only some.
#include <array>

inline constexpr std::array<unsigned, 10> candidateRates = {16000, 22050, 24000,  32000,  44100,
                                                            48000, 88200, 96000, 176400, 192000};
