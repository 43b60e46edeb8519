#include "main/capture_setup.h"

#include <cmath>

#include "capture/capture.h"
#include "capture/frame_queue.h"
#include "device/audio_properties.h"
#include "device/device_catalogue.h"
#include "main/args.h"
#include "main/events.h"
#include "main/run_options.h"
#include "main/support_log.h"
#include "main/termination_signals.h"
#include "runtime/event_queue.h"
#include "runtime/latch.h"
#include "runtime/process_end.h"
#include "text/whole_hz.h"

Capture* cap = nullptr;

std::string beginCaptureCommand(void (*onSignal)(int signal)) {
  // First, while this is the only thread: every thread made from here on
  // inherits the blocked signals, and the watcher alone takes them.
  blockTerminationSignals();
  watchTerminationSignals(onSignal);
  event_queue::start();

  auto name = arg("--device");
  if (!name) fail({FailureClass::arguments, "missing --device"});
  return *name;
}

void ensureMicrophoneAccess() {
  switch (host::microphoneAuthorization()) {
    case host::authorized:
      return;
    case host::notDetermined: {
      reportPermission();
      static Latch<bool> answer;  // outlives the platform thread that answers
      host::requestMicrophoneAccess(
          [](bool granted, void* context) { static_cast<Latch<bool>*>(context)->give(granted); }, &answer);
      if (answer.wait()) return;
      break;
    }
    default:
      break;
  }
  fail(accessDenied());
}

ResolvedRun lookUpDevice(const std::string& requested) {
  auto device = findDevice(requested);
  if (!device) fail({FailureClass::device, "Audio device not found: " + requested});
  ResolvedRun run;
  run.device = *device;
  run.name = stringProp(*device, kAudioObjectPropertyName);
  run.uid = stringProp(*device, kAudioDevicePropertyDeviceUID);
  run.deviceChannels = inputChannelCount(*device);
  return run;
}

void checkChannelsExist(const ResolvedRun& run) {
  for (auto channel : run.wanted)
    if (channel < 1 || channel > run.deviceChannels)
      fail({FailureClass::arguments, "Channel " + std::to_string(channel) + " does not exist on " + run.name + " (" +
                                         std::to_string(run.deviceChannels) + " inputs)"});
}

void negotiateRate(const ResolvedRun& run) {
  auto requested = parseRate(arg("--rate").value_or(""));
  if (!requested || !(*requested > 0)) return;
  double current = sampleRate(run.device);
  if (std::fabs(current - *requested) <= 1) return;
  bool confirmed = setSampleRate(run.device, *requested);
  support::logRateRequest(run.name, current, *requested, confirmed);
  if (confirmed) return;
  double now = sampleRate(run.device);
  fail({FailureClass::arguments,
        run.name + " refused " + askedHz(*requested) + " Hz (now " + wholeHz(now) +
            " Hz). The console's clock may decide the rate."});
}

void startOrFail(Capture& capture, const ResolvedRun& run) {
  if (auto failure = capture.start(run)) fail(*failure);
  reportStarted(run.name, capture.rate(), capture.input().channels(), run.wanted);
}

void startCapture(const ResolvedRun& run, std::vector<std::int64_t> picks, int outputFd, bool measure) {
  FrameQueue::onFailedWrite(endOnFailedWrite);
  cap = new Capture(run.deviceChannels, std::move(picks), outputFd, measure);
  startOrFail(*cap, run);
  support::logCaptureStarted(run, cap->rate());
  process::setEndNote([] { support::logRunSummary(*cap); });
}
