#include "main/process_end.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "main/write_all.h"

namespace process {
namespace {
// High bit: the end has been claimed. Low bits: output writes in progress.
// One word, so that a writer and an ender always agree on who came first.
constexpr std::uint32_t endingBit = 1u << 31;
std::atomic<std::uint32_t> state{0};

bool claimEnd() { return (state.fetch_or(endingBit) & endingBit) == 0; }

[[noreturn]] void waitForTheEnd() {
  for (;;) pause();
}

[[noreturn]] void finish(int code) {
  while ((state.load() & ~endingBit) != 0) std::this_thread::yield();
  _exit(code);
}
}  // namespace

void end(int code) {
  if (!claimEnd()) waitForTheEnd();
  finish(code);
}

void endWithLine(std::string_view line, int code) {
  if (!claimEnd()) waitForTheEnd();
  writeAll(STDERR_FILENO, line.data(), line.size());
  finish(code);
}

bool ending() { return (state.load() & endingBit) != 0; }

bool beginOutput() {
  if ((state.fetch_add(1) & endingBit) == 0) return true;
  state.fetch_sub(1);
  return false;
}

void endOutput() { state.fetch_sub(1); }

}  // namespace process
