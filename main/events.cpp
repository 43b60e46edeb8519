#include "main/events.h"

#include "main/event_queue.h"
#include "main/process_end.h"
#include "main/support_log.h"

namespace {
using Event = nlohmann::json;
using event_queue::Kind;

// Every event but the last goes out here, in one write; one that cannot be
// encoded is dropped. MIDI answers may be dropped when standard error is not
// being read; the run's own events never are.
void write(const Event& event, Kind kind = Kind::kept) {
  auto line = eventLine(event);
  // Once the process is ending, nothing may follow its last line.
  if (!line || !process::beginOutput()) return;
  event_queue::post(std::move(*line), kind);
  process::endOutput();
}
}  // namespace

std::optional<std::string> eventLine(const Event& event) {
  try {
    // Strings come from devices, MIDI services and the command line: bytes
    // that are not UTF-8 become U+FFFD rather than losing the event.
    return event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

void reportStarted(const std::string& device, double rate, std::int64_t deviceChannels,
                   const std::vector<std::int64_t>& channels) {
  write({{"event", "started"},
         {"device", device},
         {"rate", rate},
         {"deviceChannels", deviceChannels},
         {"channels", channels}});
}

void reportPermission() { write({{"event", "permission"}}); }

void reportMidiSent(const std::string& dest, std::span<const std::uint8_t> bytes) {
  write({{"event", "midi-sent"}, {"dest", dest}, {"bytes", std::vector<std::uint8_t>(bytes.begin(), bytes.end())}},
        Kind::droppable);
}

void reportMidiError(const std::string& msg) { write({{"event", "midi-error"}, {"msg", msg}}, Kind::droppable); }

void fail(const std::string& msg, int code) {
  support::logEnd(msg, code);
  auto line = eventLine({{"event", "error"}, {"msg", msg}});
  process::endWithLine(line.value_or(""), code);
}

void failAccessDenied() { fail("Microphone access denied", 5); }
