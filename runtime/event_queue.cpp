#include "runtime/event_queue.h"

#include <atomic>
#include <memory>
#include <thread>

#include "runtime/latch.h"
#include "runtime/standard_streams.h"
#include "runtime/work_queue.h"
#include "runtime/write_all.h"

namespace event_queue {
namespace {
WorkQueue<std::string>& queue() {
  // Never destroyed: the writer may run until _exit.
  static auto* instance = new WorkQueue<std::string>(maxWaitingBytes);
  return *instance;
}

std::atomic<bool> started{false};
std::atomic<std::uint64_t> droppedLines{0};

void serve() {
  auto& q = queue();
  while (auto line = q.take()) {
    // A parent that closed standard error gets nothing more; the lines are
    // taken all the same, so that the end never waits for them.
    writeAll(eventOutput, line->data(), line->size());
    q.done();
  }
}

// Before the writer exists the last line still must not hold the end up: a
// thread of its own writes it while the end waits until the deadline.
void writeWithin(std::string_view line, std::chrono::steady_clock::time_point deadline) {
  auto written = std::make_shared<Latch<bool>>();  // outlives a writer still blocked at _exit
  std::thread([written, text = std::string(line)] {
    writeAll(eventOutput, text.data(), text.size());
    written->give(true);
  }).detach();
  written->waitUntil(deadline);
}
}  // namespace

void start() {
  if (started.exchange(true)) return;
  std::thread(serve).detach();
}

void post(std::string line, Kind kind) {
  if (!started.load()) {
    writeAll(eventOutput, line.data(), line.size());
    return;
  }
  std::size_t bytes = line.size();
  if (kind == Kind::kept)
    queue().push(std::move(line), bytes);
  else if (!queue().tryPush(std::move(line), bytes))
    droppedLines.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t dropped() { return droppedLines.load(std::memory_order_relaxed); }

void finish(std::string_view last, std::chrono::steady_clock::time_point deadline) {
  if (!started.load()) {
    if (!last.empty()) writeWithin(last, deadline);
    return;
  }
  if (!last.empty()) queue().push(std::string(last), last.size());
  queue().drainedBy(deadline);
}

}  // namespace event_queue
