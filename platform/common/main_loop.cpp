// The main thread's loop for the layers without a system run loop: a queue of
// tasks in arrival order, and repeating timers that keep their phase. Timers
// are served between tasks, so a long queue never delays them by more than one task.
#include <chrono>
#include <cstddef>
#include <limits>
#include <vector>

#include "platform/host.h"
#include "runtime/work_queue.h"

namespace {
using Clock = std::chrono::steady_clock;
using Task = std::function<void()>;

struct Timer {
  Clock::duration interval;
  Clock::time_point due;
  Task tick;
};

// Never destroyed: other threads may post until the end. Tasks are never
// refused: whoever hands one over has nothing else to do with it.
WorkQueue<Task>& tasks() {
  static auto* queue = new WorkQueue<Task>(std::numeric_limits<std::size_t>::max());
  return *queue;
}

std::vector<Timer>& timers() {  // the main thread's only
  static auto* list = new std::vector<Timer>;
  return *list;
}
}  // namespace

namespace host {

void onMain(std::function<void()> task) { tasks().push(std::move(task), 1); }

void everyInterval(double seconds, std::function<void()> tick) {
  auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  timers().push_back({interval, Clock::now() + interval, std::move(tick)});
}

void runMainLoop() {
  for (;;) {
    // A due timer goes before the next task: however many tasks wait, the
    // watchdog ticks on time.
    Timer* next = nullptr;
    for (auto& timer : timers())
      if (next == nullptr || timer.due < next->due) next = &timer;
    if (next != nullptr && next->due <= Clock::now()) {
      next->due += next->interval;
      auto tick = next->tick;  // a copy: the tick may add a timer
      tick();
      continue;
    }
    if (auto task = tasks().takeUntil(next != nullptr ? next->due : Clock::time_point::max())) {
      (*task)();
      tasks().done();
    }
  }
}

}  // namespace host
