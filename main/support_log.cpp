#include "main/support_log.h"

#include <signal.h>

#include <cstdio>

#include "capture/capture.h"
#include "frame/stream_rate.h"
#include "runtime/event_queue.h"
#include "runtime/support_line.h"
#include "text/whole_hz.h"
#include "runtime/version.h"

namespace support {
namespace {
// Main thread only: what the last tick logged.
struct Logged {
  std::uint32_t blockFrames = 0;
  std::uint64_t droppedBlocks = 0;
  std::uint64_t failedRenders = 0;
  std::uint64_t droppedEvents = 0;
  std::vector<std::uint64_t> nonFinite;  // per pick
};
Logged logged;

}  // namespace

void logStart(const std::vector<std::string>& args) {
  std::string line = std::string("tavirel-audio ") + tavirelVersion;
  for (std::size_t i = 1; i < args.size(); ++i) line += " " + args[i];
  write(Level::note, line);
}

void logRateRequest(const std::string& device, double current, double requested, bool confirmed) {
  write(confirmed ? Level::note : Level::problem, "rate: " + quoted(device) + " asked for " + askedHz(requested) + " Hz (was " +
                                   wholeHz(current) + " Hz): " + (confirmed ? "confirmed" : "refused"));
}

void logCaptureStarted(const ResolvedRun& run, double rate) {
  std::string channels;
  for (auto channel : run.wanted) {
    if (!channels.empty()) channels += ',';
    channels += std::to_string(channel);
  }
  write(Level::note, "capture: " + quoted(run.name) + " uid " + quoted(run.uid) + ", " +
                   std::to_string(run.deviceChannels) + " inputs as 32-bit float at " + wholeHz(rate) +
                   " Hz, channels " + channels + " to " + wholeHz(framing::streamRate) + " Hz 16-bit frames");
}

namespace {
// Why the audio was lost, and how the gap's length is known.
std::string lostTo(Gap::Cause cause) {
  switch (cause) {
    case Gap::Cause::ringFull:
      return "the processing thread fell behind (blocks dropped, counted)";
    case Gap::Cause::failedRender:
      return std::string("the device overran or a read failed (") + host::inputLossMeasure() + ")";
    case Gap::Cause::device:
      return std::string("the device skipped input (") + host::inputLossMeasure() + ")";
    case Gap::Cause::queueFull:
      return "no room left for frames while standard output was not read (counted)";
  }
  return "";
}

std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

void logGaps(const GapLog::Taken& taken) {
  for (const Gap& gap : taken.gaps)
    write(Level::problem, "gap: " + secondsText(gap.seconds) + " at " + secondsText(gap.atSeconds) + " after start, " +
                     lostTo(gap.cause) + "; the stream carries silence of that length");
  if (taken.untold > 0)
    write(Level::problem, "gap: " + std::to_string(taken.untold) + " more gaps of " + secondsText(taken.untoldSeconds) +
                     " in all; the stream carries silence of that length");
}
}  // namespace

void logCaptureHealth(Capture& capture, const ResolvedRun& run) {
  auto now = capture.health();
  if (now.blockFrames != logged.blockFrames)
    write(Level::note, "capture: device blocks of " + std::to_string(now.blockFrames) + " frames");
  if (now.droppedBlocks != logged.droppedBlocks)
    write(Level::problem, "dropped " + std::to_string(now.droppedBlocks - logged.droppedBlocks) +
                    " blocks: the processing thread fell behind (" + std::to_string(now.droppedBlocks) +
                    " in all)");
  if (now.failedRenders != logged.failedRenders)
    write(Level::problem, std::to_string(now.failedRenders - logged.failedRenders) +
                    " device blocks lost to overruns or failed reads (" + std::to_string(now.failedRenders) +
                    " in all)");
  logged.nonFinite.resize(now.nonFinite.size());
  for (std::size_t i = 0; i < now.nonFinite.size() && i < run.wanted.size(); ++i) {
    auto count = now.nonFinite[i];
    if (count != logged.nonFinite[i])
      write(Level::problem, "channel " + std::to_string(run.wanted[i]) + ": " + std::to_string(count - logged.nonFinite[i]) +
                      " non-finite samples taken as silence (" + std::to_string(count) + " in all)");
    logged.nonFinite[i] = count;
  }
  logged.blockFrames = now.blockFrames;
  logged.droppedBlocks = now.droppedBlocks;
  logged.failedRenders = now.failedRenders;
  logGaps(capture.takeGaps());
}

void logRunSummary(Capture& capture) {
  // The gap still open is over now: told first, whole.
  logGaps(capture.takeGaps());
  logGaps(capture.takeGaps());
  auto totals = capture.gapTotals();
  write(totals.gaps > 0 ? Level::problem : Level::note, std::to_string(totals.gaps) + " gaps, " + secondsText(totals.seconds) +
                             " of silence inserted in " + secondsText(capture.streamedSeconds()));
}

void logDroppedEvents() {
  auto dropped = event_queue::dropped();
  if (dropped == logged.droppedEvents) return;
  write(Level::problem, "dropped " + std::to_string(dropped - logged.droppedEvents) +
                   " MIDI event lines: standard error is not being read (" + std::to_string(dropped) + " in all)");
  logged.droppedEvents = dropped;
}

void logSignal(int signal) {
  const char* name = signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : signal == SIGHUP ? "SIGHUP" : "a signal";
  write(Level::note, std::string("ending on ") + name + ", as on quit");
}

}  // namespace support
