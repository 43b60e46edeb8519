#include "process/event_queue.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "process/standard_streams.h"
#include "process/write_all.h"

namespace event_queue {
namespace {
struct Queue {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::string> lines;
  std::size_t bytes = 0;
  bool started = false;
  bool writing = false;  // the writer holds a line it has taken off the queue
  std::uint64_t dropped = 0;
};

Queue& queue() {
  static auto* instance = new Queue;  // never destroyed: the writer may run until _exit
  return *instance;
}

void serve() {
  auto& q = queue();
  std::unique_lock guard(q.lock);
  for (;;) {
    q.changed.wait(guard, [&q] { return !q.lines.empty(); });
    std::string line = std::move(q.lines.front());
    q.lines.pop_front();
    q.bytes -= line.size();
    q.writing = true;
    guard.unlock();
    // A parent that closed standard error gets nothing more; the lines are
    // taken all the same, so that the end never waits for them.
    writeAll(eventOutput, line.data(), line.size());
    guard.lock();
    q.writing = false;
    q.changed.notify_all();
  }
}

// Before the writer exists the last line still must not hold the end up: a
// thread of its own writes it while the end waits until the deadline.
void writeWithin(std::string_view line, std::chrono::steady_clock::time_point deadline) {
  struct Written {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
  };
  auto* written = new Written;  // outlives a writer still blocked at _exit
  std::thread([written, text = std::string(line)] {
    writeAll(eventOutput, text.data(), text.size());
    std::lock_guard guard(written->lock);
    written->finished = true;
    written->done.notify_all();
  }).detach();
  std::unique_lock guard(written->lock);
  written->done.wait_until(guard, deadline, [written] { return written->finished; });
}
}  // namespace

void start() {
  auto& q = queue();
  {
    std::lock_guard guard(q.lock);
    if (q.started) return;
    q.started = true;
  }
  std::thread(serve).detach();
}

void post(std::string line, Kind kind) {
  auto& q = queue();
  {
    std::lock_guard guard(q.lock);
    if (q.started) {
      if (kind == Kind::droppable && q.bytes + line.size() > maxWaitingBytes) {
        ++q.dropped;
        return;
      }
      q.bytes += line.size();
      q.lines.push_back(std::move(line));
      q.changed.notify_all();
      return;
    }
  }
  writeAll(eventOutput, line.data(), line.size());
}

std::uint64_t dropped() {
  auto& q = queue();
  std::lock_guard guard(q.lock);
  return q.dropped;
}

void finish(std::string_view last, std::chrono::steady_clock::time_point deadline) {
  auto& q = queue();
  std::unique_lock guard(q.lock);
  if (!q.started) {
    guard.unlock();
    if (!last.empty()) writeWithin(last, deadline);
    return;
  }
  if (!last.empty()) {
    q.bytes += last.size();
    q.lines.emplace_back(last);
    q.changed.notify_all();
  }
  q.changed.wait_until(guard, deadline, [&q] { return q.lines.empty() && !q.writing; });
}

}  // namespace event_queue
