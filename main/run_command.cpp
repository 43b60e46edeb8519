// The run command: access, device, channels and rate, then capture until
// something ends the process.
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "capture/capture.h"
#include "device/audio_properties.h"
#include "main/args.h"
#include "main/capture_setup.h"
#include "main/clock_log.h"
#include "main/commands.h"
#include "main/control_channel.h"
#include "main/events.h"
#include "runtime/process_end.h"
#include "main/run_options.h"
#include "main/support_log.h"
#include "main/watchdog.h"

namespace {
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
  if (run.wanted.empty()) fail({FailureClass::arguments, "no channels given"});
  checkChannelsExist(run);
  // A frame counts its channels in one byte.
  if (run.wanted.size() > Capture::maxPicks)
    fail({FailureClass::arguments, "Too many channels: " + std::to_string(run.wanted.size()) + " (at most " +
                                       std::to_string(Capture::maxPicks) + ")"});
}

// The device looked up once and every value the run needs read once, in the
// order the checks need them.
ResolvedRun resolveRun(const std::string& requested) {
  ResolvedRun run = lookUpDevice(requested);
  run.wanted = parseChannelList(arg("--channels").value_or("1"));
  checkChannels(run);
  negotiateRate(run);
  run.rate = sampleRate(run.device);
  return run;
}
}  // namespace

void runCommand() {
  auto name = beginCaptureCommand(endOnSignal);
  ensureMicrophoneAccess();

  static const ResolvedRun run = resolveRun(name);  // read by the watchdog for good
  std::vector<std::int64_t> picks;
  for (auto channel : run.wanted) picks.push_back(channel - 1);
  startCapture(run, std::move(picks), STDOUT_FILENO, false);

  readerStarted.store(true);
  std::thread(controlChannelReader).detach();
  host::everyInterval(1.0, [] { watchdogTick(run); });
  host::everyInterval(60.0, [] { support::logClock(*cap); });
  host::runMainLoop();
}
