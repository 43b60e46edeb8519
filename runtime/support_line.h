#pragma once
// The support log's writer: every layer writes its lines through here, so
// that nothing is logged once the process is ending and the ending line is
// the last. Where a line goes is the platform's (host::systemLog).
//
// Inline on purpose: the reference to the platform's log then sits in the
// caller's own layer, which the program links before the platform it chose.
#include <string>

#include "platform/host.h"
#include "runtime/process_end.h"

namespace support {

// A problem goes to the system log as an error, a note as information.
enum class Level { note, problem };

inline void write(Level level, const std::string& text) {
  if (!process::beginOutput()) return;
  host::systemLog(level == Level::problem, text);
  process::endOutput();
}

// A name in a line, in double quotes.
inline std::string quoted(const std::string& text) { return '"' + text + '"'; }

}  // namespace support
