#pragma once
// Whether an ALSA or PipeWire capture stream may be asked for `rate` Hz: from
// 1 Hz to 4 MHz, so that it rounds to a whole, unsigned 32-bit rate (a NaN is
// refused too).
inline bool streamableRate(double rate) { return rate >= 1 && rate <= 4e6; }
