#include "capture/device_clock.h"

void DeviceClock::Fit::add(const Point& p) {
  if (n == 0) firstT = p.t;
  lastT = p.t;
  n += 1;
  double dt = p.t - meanT;
  meanT += dt / n;
  meanF += (p.frames - meanF) / n;
  tt += dt * (p.t - meanT);
  tf += dt * (p.frames - meanF);
}

void DeviceClock::add(double frames, double arrivedSeconds) {
  if (!begun_) {
    begun_ = true;
    windowStart_ = arrivedSeconds;
  }
  if (arrivedSeconds - windowStart_ >= window_) {
    if (haveBest_) fit_.add(best_);
    haveBest_ = false;
    windowStart_ = arrivedSeconds;
  }
  // The delay against the nominal rate, up to a constant: the smallest wins.
  Point point{arrivedSeconds, frames};
  if (!haveBest_ || point.t - point.frames / nominal_ < best_.t - best_.frames / nominal_) best_ = point;
  haveBest_ = true;
}

DeviceClock::Reading DeviceClock::reading() const {
  Fit fit = fit_;
  if (haveBest_) fit.add(best_);
  Reading reading;
  reading.seconds = fit.lastT - fit.firstT;
  if (fit.n < 2 || reading.seconds < 0.5 || fit.tt <= 0 || !(nominal_ > 0)) return reading;
  reading.measured = true;
  reading.rate = fit.tf / fit.tt;
  reading.ppm = (reading.rate / nominal_ - 1) * 1e6;
  return reading;
}
