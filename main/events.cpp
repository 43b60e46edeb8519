#include "main/events.h"

#include <cstring>

#include "runtime/event_line.h"

namespace {
using event_queue::Kind;
}  // namespace

// MIDI answers may be dropped when standard error is not being read; the
// run's own events never are.
void reportStarted(const std::string& device, double rate, std::int64_t deviceChannels,
                   const std::vector<std::int64_t>& channels) {
  process::writeEvent({{"event", "started"},
                       {"device", device},
                       {"rate", rate},
                       {"deviceChannels", deviceChannels},
                       {"channels", channels}});
}

void reportPermission() { process::writeEvent({{"event", "permission"}}); }

void reportMidiSent(const std::string& dest, std::span<const std::uint8_t> bytes) {
  process::writeEvent(
      {{"event", "midi-sent"}, {"dest", dest}, {"bytes", std::vector<std::uint8_t>(bytes.begin(), bytes.end())}},
      Kind::droppable);
}

void reportMidiError(const std::string& msg) {
  process::writeEvent({{"event", "midi-error"}, {"msg", msg}}, Kind::droppable);
}

void fail(const std::string& msg, int code) { process::endWithError(msg, code); }

void fail(const Failure& failure) { fail(failure.msg, exitCode(failure.kind)); }

int exitCode(FailureClass kind) {
  switch (kind) {
    case FailureClass::arguments:
    case FailureClass::captureUnit:
      return 2;
    case FailureClass::device:
    case FailureClass::output:
      return 3;
    case FailureClass::accessDenied:
      return 5;
  }
  return 2;
}

void endOnFailedWrite(const framing::WriteResult& result) {
  if (result.kind == framing::WriteResult::Kind::readerGone) process::end(0);
  fail({FailureClass::output, std::string("Could not write audio to standard output: ") + std::strerror(result.error)});
}
