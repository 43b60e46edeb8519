#include "runtime/event_line.h"

namespace process {

std::optional<std::string> eventLine(const nlohmann::json& event) {
  try {
    // Strings come from devices, MIDI services and the command line: bytes
    // that are not UTF-8 become U+FFFD rather than losing the event.
    return event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

void writeEvent(const nlohmann::json& event, event_queue::Kind kind) {
  auto line = eventLine(event);
  // Once the process is ending, nothing may follow its last line.
  if (!line || !beginOutput()) return;
  event_queue::post(std::move(*line), kind);
  endOutput();
}

}  // namespace process
