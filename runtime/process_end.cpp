#include "runtime/process_end.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "runtime/event_queue.h"

namespace process {
namespace {
// High bit: the end has been claimed. Low bits: output writes in progress.
// One word, so that a writer and an ender always agree on who came first.
constexpr std::uint32_t endingBit = 1u << 31;
std::atomic<std::uint32_t> state{0};

std::atomic<void (*)()> endNote{nullptr};
std::atomic<bool> noted{false};

bool claimEnd() { return (state.fetch_or(endingBit) & endingBit) == 0; }

[[noreturn]] void waitForTheEnd() {
  for (;;) pause();
}

// A write that has begun may block for as long as the reader takes; it gets
// until the deadline, no more.
void waitForWrites(std::chrono::steady_clock::time_point deadline) {
  while ((state.load() & ~endingBit) != 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(100));
}
}  // namespace

void end(int code) { endWithLine("", code); }

void setEndNote(void (*note)()) { endNote.store(note); }

void runEndNote() {
  if (auto note = endNote.load(); note != nullptr && !noted.exchange(true)) note();
}

void endWithLine(std::string_view line, int code) {
  runEndNote();  // before the end is claimed, while lines may still be written
  if (!claimEnd()) waitForTheEnd();
  // The frame being written gets the grace; then the event lines waiting and
  // the last line get as much again, so that a stalled standard output never
  // costs the parent its last event.
  waitForWrites(std::chrono::steady_clock::now() + writeGrace);  // so that nothing follows the last line
  event_queue::finish(line, std::chrono::steady_clock::now() + writeGrace);
  _exit(code);
}

bool beginOutput() {
  if ((state.fetch_add(1) & endingBit) == 0) return true;
  state.fetch_sub(1);
  return false;
}

void endOutput() { state.fetch_sub(1); }

}  // namespace process
