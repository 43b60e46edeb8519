#pragma once
// The device's clock against the system's, in the support log: once a
// minute during `run`, once at the end of `check`. A drift past 100 ppm
// (0.36 s an hour) is marked as a problem: the transcript will part from
// the stage.
class Capture;

namespace support {

// Main or processing thread; nothing is logged before the clock is measured.
void logClock(const Capture& capture);

}  // namespace support
