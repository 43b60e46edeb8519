#pragma once
// The one place event lines are written: each event becomes one compact JSON
// line, which goes to the event queue while the run goes on, or last, as the
// process ends. What the events are, and their texts, is the program's own.
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "runtime/event_queue.h"
#include "runtime/process_end.h"
#include "runtime/support_line.h"

namespace process {

// An event as its line, invalid UTF-8 in its strings written as U+FFFD;
// nothing when it cannot be encoded at all.
std::optional<std::string> eventLine(const nlohmann::json& event);

// Writes `event` unless the process is ending; one that cannot be encoded is dropped.
void writeEvent(const nlohmann::json& event, event_queue::Kind kind = event_queue::Kind::kept);

// {"event":"error","msg":…} as the last line, the reason in the support log
// first; the process then ends with `code`. Inline for the support log's sake
// (see support::write).
[[noreturn]] inline void endWithError(const std::string& msg, int code) {
  runEndNote();
  support::write(support::Level::problem, "ending with code " + std::to_string(code) + ": " + msg);
  endWithLine(eventLine({{"event", "error"}, {"msg", msg}}).value_or(""), code);
}

}  // namespace process
