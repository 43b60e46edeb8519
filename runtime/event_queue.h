#pragma once
// Event lines on their way to standard error. Until start() each line is
// written by the thread that reports it. From start() on, lines wait in a
// bounded queue that one writer thread serves, so that a parent slow to read
// standard error (or not reading it at all) never holds up the thread that
// reports: the watchdog, the control channel and the end keep their time.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace event_queue {

// Bytes of lines that may wait. A line that may be dropped and would not fit
// is dropped; one that must be kept always waits.
inline constexpr std::size_t maxWaitingBytes = 1024 * 1024;

enum class Kind { kept, droppable };

// Starts the writer thread; once, before the run reports its first event.
void start();

// Writes `line` (a complete event line) or queues it for the writer.
void post(std::string line, Kind kind);

// Lines dropped because the queue was full, since the start.
std::uint64_t dropped();

// For the end: writes every waiting line, then `last` (may be empty), giving
// up at `deadline` when standard error does not take them.
void finish(std::string_view last, std::chrono::steady_clock::time_point deadline);

}  // namespace event_queue
