#pragma once
// The device's clock against the system's monotonic clock: how many frames
// the device delivers per second of system time.
//
// A block arrives some time after its last frame was sampled, and that delay
// jitters with scheduling. Within each window the block that came soonest
// (the least delay against the nominal rate) stands for the window, and a
// least-squares line through those points gives the rate: late wake-ups on a
// busy machine do not bend it. The fit is kept as running sums, so a run of
// any length takes constant memory.
#include <cstdint>

class DeviceClock {
 public:
  explicit DeviceClock(double nominalRate, double windowSeconds = 0.1)
      : nominal_(nominalRate), window_(windowSeconds) {}

  // A block whose last frame is `frames` device frames after the first
  // block's start arrived at `arrivedSeconds` on the monotonic clock.
  void add(double frames, double arrivedSeconds);

  struct Reading {
    bool measured = false;  // at least two windows, half a second apart
    double rate = 0;        // frames per second of system time
    double ppm = 0;         // against the nominal rate
    double seconds = 0;     // system time the fit spans
  };
  Reading reading() const;

 private:
  struct Point {
    double t, frames;
  };
  struct Fit {  // running means and co-moments (Welford), stable over hours
    double n = 0, meanT = 0, meanF = 0, tt = 0, tf = 0, firstT = 0, lastT = 0;
    void add(const Point& p);
  };

  const double nominal_, window_;
  bool begun_ = false;
  double windowStart_ = 0;
  bool haveBest_ = false;
  Point best_{0, 0};
  Fit fit_;
};
