#pragma once
// The rate of every channel of the stream: sample n stands for n / streamRate
// seconds after "started", across gaps too.

namespace framing {

inline constexpr int streamRate = 16000;

}  // namespace framing
