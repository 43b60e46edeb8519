#pragma once
// The monotonic clock in nanoseconds, as the capture stamps blocks and frames
// with it and the PipeWire stream times its audio thread's pulse. Reading it
// makes no system call (vDSO, mach_absolute_time), so the audio thread may.
#include <chrono>
#include <cstdint>

inline std::int64_t monotonicNs() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}
