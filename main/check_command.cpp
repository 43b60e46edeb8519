// The check command: the same access, device and rate as `run`, then a few
// seconds of every channel of the device, then one document of what each
// channel carries and how the device's blocks and clock behave.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture.h"
#include "device/audio_properties.h"
#include "main/args.h"
#include "main/capture_setup.h"
#include "main/check_report.h"
#include "main/clock_log.h"
#include "main/commands.h"
#include "main/control_channel.h"
#include "main/control_line.h"
#include "main/document_output.h"
#include "main/events.h"
#include "main/line_splitter.h"
#include "main/run_options.h"
#include "main/support_log.h"
#include "main/watchdog.h"
#include "runtime/process_end.h"

namespace {
constexpr double defaultCheckSeconds = 3;

const ResolvedRun* checked = nullptr;  // set once, before capture starts
std::atomic<bool> started{false};
bool finishing = false;  // main thread only

// Processing thread, once every block handed over before the end was asked
// has been processed: what the check found, then the end.
void report(Capture& capture) {
  CheckFindings findings{capture.measured(), capture.clock(), capture.health()};
  auto gaps = capture.gapTotals();
  findings.gaps = gaps.gaps;
  findings.gapSeconds = gaps.seconds;
  support::logClock(capture);
  auto document = checkDocument(*checked, capture.rate(), findings);
  // A person at a terminal reads the table; a program gets the document.
  endWithDocument(isatty(STDOUT_FILENO) ? checkTable(document) : documentText(document));
}

// Main thread: the time is up, or the check is asked to end early.
void finish() {
  if (finishing) return;
  finishing = true;  // the watchdog asks for no more checks, which would replace this one
  cap->requestCheck(report);
}

void finishOnMain() { host::onMain(finish); }

void endOnSignal(int signal) {
  support::logSignal(signal);
  if (!started.load()) process::end(0);
  finishOnMain();
}

// Standard input during a check: `quit` ends it early with what it has. The
// end of input does not: a check is short, and may run with input closed.
void readQuit() {
  LineSplitter lines(maxControlLineBytes);
  std::vector<char> buffer(64 * 1024);
  bool quit = false;
  auto onLine = [&quit](std::string_view line) {
    auto command = parseControlLine(line);
    if (command && command->quit) quit = true;
  };
  while (!quit) {
    ssize_t got = read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (auto last = lines.finish()) onLine(*last);
      break;
    }
    lines.feed({buffer.data(), static_cast<std::size_t>(got)}, onLine);
  }
  if (quit) finishOnMain();
}

// Every channel of the device, in order, as `run` would read them.
ResolvedRun resolveCheck(const std::string& requested) {
  ResolvedRun run = lookUpDevice(requested);
  for (std::int64_t channel = 1; channel <= std::max<std::int64_t>(run.deviceChannels, 1); ++channel)
    run.wanted.push_back(channel);
  checkChannelsExist(run);
  negotiateRate(run);
  run.rate = sampleRate(run.device);
  return run;
}
}  // namespace

void checkCommand() {
  auto name = beginCaptureCommand(endOnSignal);
  double seconds = defaultCheckSeconds;
  if (auto given = arg("--seconds")) {
    auto parsed = parseCheckSeconds(*given);
    if (!parsed) fail({FailureClass::arguments, "--seconds must be a number above 0 and at most 60, not " + *given});
    seconds = *parsed;
  }
  ensureMicrophoneAccess();

  static const ResolvedRun run = resolveCheck(name);  // read by the watchdog for good
  checked = &run;
  std::vector<std::int64_t> picks;
  for (auto channel : run.wanted) picks.push_back(channel - 1);
  // Frames are made as `run` makes them, to time them, and go nowhere.
  int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere < 0) fail({FailureClass::output, "Could not open /dev/null"});
  startCapture(run, std::move(picks), nowhere, true);

  started.store(true);
  std::thread(readQuit).detach();
  host::everyInterval(1.0, [] {
    if (!finishing) watchDevice(run);
  });
  host::everyInterval(seconds, finish);
  host::runMainLoop();
}
