#include "main/watchdog.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "capture/capture.h"
#include "device/audio_properties.h"
#include "main/capture_setup.h"
#include "main/events.h"
#include "text/whole_hz.h"
#include "main/support_log.h"

void silenceCheck(Capture& capture) {
  if (std::chrono::steady_clock::now() - capture.lastBlockAt() > std::chrono::seconds(3))
    fail({FailureClass::device, "No audio from device for 3 s"});
}

void watchdogTick(const ResolvedRun& run) {
  if (cap != nullptr) support::logCaptureHealth(*cap, run);
  support::logDroppedEvents();
  watchDevice(run);
}

void watchDevice(const ResolvedRun& run) {
  auto devices = allDevices();
  if (std::find(devices.begin(), devices.end(), run.device) == devices.end())
    fail({FailureClass::device, "Audio device disconnected"});
  double rate = sampleRate(run.device);
  if (rate > 0 && std::fabs(rate - run.rate) > 1)
    fail({FailureClass::device, "Sample rate changed to " + wholeHz(rate) + " Hz"});
  if (cap != nullptr) cap->requestCheck(silenceCheck);
}
