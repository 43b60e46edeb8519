// The run command: access, device, channels and rate, then capture until
// something ends the process.
#include <signal.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "capture/capture.h"
#include "device/audio_properties.h"
#include "device/device_catalogue.h"
#include "frame/frame_format.h"
#include "main/args.h"
#include "main/commands.h"
#include "main/control_channel.h"
#include "process/event_queue.h"
#include "main/events.h"
#include "process/process_end.h"
#include "main/run_options.h"
#include "text/whole_hz.h"
#include "main/run_state.h"
#include "main/support_log.h"
#include "main/termination_signals.h"
#include "main/watchdog.h"

namespace {
// A one-shot semaphore with the answer. (std::binary_semaphore is not
// available on every macOS this builds for.)
struct AccessAnswer {
  std::mutex lock;
  std::condition_variable signal;
  bool answered = false;
  bool granted = false;

  void give(bool yes) {
    {
      std::lock_guard guard(lock);
      granted = yes;
      answered = true;
    }
    signal.notify_one();
  }

  bool wait() {
    std::unique_lock guard(lock);
    signal.wait(guard, [this] { return answered; });
    return granted;
  }
};

void ensureMicrophoneAccess() {
  switch (host::microphoneAuthorization()) {
    case host::authorized:
      return;
    case host::notDetermined: {
      reportPermission();
      static AccessAnswer answer;  // outlives the platform thread that answers
      host::requestMicrophoneAccess(
          [](bool granted, void* context) { static_cast<AccessAnswer*>(context)->give(granted); }, &answer);
      if (answer.wait()) return;
      break;
    }
    default:
      break;
  }
  failAccessDenied();
}

// Set once the control channel's reader has been started.
std::atomic<bool> readerStarted{false};

// How long a signalled end may take at most: the reader's own end, after
// the MIDI messages handed over, normally comes well before.
constexpr auto signalledEndWithin = std::chrono::seconds(4);

void endOnSignal(int signal) {
  support::logSignal(signal);
  // Before the reader runs there is no line to honour yet.
  if (!readerStarted.load()) process::end(0);
  endControlChannelAsQuit();
  std::this_thread::sleep_for(signalledEndWithin);
  process::end(0);
}

void checkChannels(const ResolvedRun& run) {
  if (run.wanted.empty()) fail("no channels given", 2);
  for (auto channel : run.wanted)
    if (channel < 1 || channel > run.deviceChannels)
      fail("Channel " + std::to_string(channel) + " does not exist on " + run.name + " (" +
               std::to_string(run.deviceChannels) + " inputs)",
           2);
  // A frame counts its channels in one byte.
  if (run.wanted.size() > Capture::maxPicks)
    fail("Too many channels: " + std::to_string(run.wanted.size()) + " (at most " +
             std::to_string(Capture::maxPicks) + ")",
         2);
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
  fail(run.name + " refused " + askedHz(*requested) + " Hz (now " + wholeHz(now) +
           " Hz). The console's clock may decide the rate.",
       2);
}

// The device looked up once and every value the run needs read once, in the
// order the checks need them.
ResolvedRun resolveRun(const std::string& requested) {
  auto device = findDevice(requested);
  if (!device) fail("Audio device not found: " + requested, 3);
  ResolvedRun run;
  run.device = *device;
  run.name = stringProp(*device, kAudioObjectPropertyName);
  run.uid = stringProp(*device, kAudioDevicePropertyDeviceUID);
  run.deviceChannels = inputChannelCount(*device);
  run.wanted = parseChannelList(arg("--channels").value_or("1"));
  checkChannels(run);
  negotiateRate(run);
  run.rate = sampleRate(*device);
  return run;
}
}  // namespace

void runCommand() {
  // First, while this is the only thread: every thread made from here on
  // inherits the blocked signals, and the watcher alone takes them.
  blockTerminationSignals();
  watchTerminationSignals(endOnSignal);
  event_queue::start();

  auto name = arg("--device");
  if (!name) fail("missing --device", 2);
  ensureMicrophoneAccess();

  static const ResolvedRun run = resolveRun(*name);  // read by the watchdog for good
  devChannels = run.deviceChannels;
  wanted = run.wanted;
  startRate = run.rate;

  std::vector<std::int64_t> picks;
  for (auto channel : wanted) picks.push_back(channel - 1);
  framing::onWriteFailure(failStreamWrite);
  cap = new Capture(devChannels, std::move(picks));
  cap->start(run);
  support::logCaptureStarted(run, cap->rate());
  process::setEndNote([] { support::logRunSummary(*cap); });

  readerStarted.store(true);
  std::thread(controlChannelReader).detach();
  host::everyInterval(1.0, [] { watchdogTick(run); });
  host::runMainLoop();
}
