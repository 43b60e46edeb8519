#include "main/events.h"

#include <unistd.h>

#include "main/process_end.h"
#include "main/write_all.h"

std::optional<std::string> eventLine(const Event& event) {
  try {
    return event.dump() + '\n';
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

void status(const Event& event) {
  auto line = eventLine(event);
  // Once the process is ending, nothing may follow its last line.
  if (!line || !process::beginOutput()) return;
  writeAll(STDERR_FILENO, line->data(), line->size());
  process::endOutput();
}

void fail(const std::string& msg, int code) {
  auto line = eventLine({{"event", "error"}, {"msg", msg}});
  process::endWithLine(line.value_or(""), code);
}
