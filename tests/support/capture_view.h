#pragma once
// What tests and benchmarks may see of a capture beyond its interface: the
// state each thread owns, to drive one thread's part without the others.
#include "capture/capture.h"

struct CaptureTestView {
  static AudioUnit& au(Capture& c) { return c.au; }
  static AudioBufferList* abl(Capture& c) { return c.abl; }
  static float* storage(Capture& c) { return c.storage.get(); }
  static BlockRing& ring(Capture& c) { return c.ring; }
  static std::vector<Resampler>& resamplers(Capture& c) { return c.resamplers; }
  static double& captureRate(Capture& c) { return c.captureRate; }
  static std::vector<std::vector<std::int16_t>>& pending(Capture& c) { return c.pending; }
  static ProcessingThread& processingThread(Capture& c) { return c.processingThread; }
  static void handOver(Capture& c, std::size_t frames) { c.handOver(frames); }
  static void handOver(Capture& c, std::size_t frames, std::int64_t sampleTime) { c.handOver(frames, sampleTime); }
};
