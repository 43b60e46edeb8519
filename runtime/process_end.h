#pragma once
// Ending the process from any thread. The first end wins; a thread that tries
// to end the process after it waits for the end. The process ends with _exit:
// other threads keep running until then, so no destructor may run under them.
// A write to standard output that has begun is given `writeGrace` to
// complete, and then the event lines still waiting and the ending line as
// much again: a parent that stopped reading must not keep the process alive,
// so after that it ends anyway, the last frame on standard output may be cut
// short and the last event lines lost. Nothing is written after the ending line.
#include <string_view>

#include <chrono>

namespace process {

inline constexpr std::chrono::seconds writeGrace{1};

// Ends the process with `code`, once the waiting event lines are out.
[[noreturn]] void end(int code);

// Writes `line` (a complete event line, or nothing when empty) on standard
// error after the waiting ones, then ends with `code`.
[[noreturn]] void endWithLine(std::string_view line, int code);

// Has `note` run once as the process ends, on the thread that ends it first,
// before anything of the end. runEndNote runs it then, or earlier for an end
// that logs a line of its own, so that the reason for the end comes last.
void setEndNote(void (*note)());
void runEndNote();

// Brackets a write to standard output or standard error. beginOutput is false
// once the process is ending; the caller must then not write.
bool beginOutput();
void endOutput();

}  // namespace process
