// The main thread's loop for the layers without a system run loop: a queue of
// tasks in arrival order, and repeating timers that keep their phase. Timers
// are served between tasks, so a long queue never delays them by more than one task.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/host.h"

namespace {
using Clock = std::chrono::steady_clock;

struct Timer {
  Clock::duration interval;
  Clock::time_point due;
  std::function<void()> tick;
};

struct MainLoop {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<std::function<void()>> tasks;
  std::vector<Timer> timers;
};

MainLoop& loop() {
  static auto* instance = new MainLoop;  // never destroyed: other threads may post until the end
  return *instance;
}
}  // namespace

namespace host {

void onMain(std::function<void()> task) {
  auto& main = loop();
  {
    std::lock_guard guard(main.lock);
    main.tasks.push_back(std::move(task));
  }
  main.wake.notify_one();
}

void everyInterval(double seconds, std::function<void()> tick) {
  auto& main = loop();
  auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  {
    std::lock_guard guard(main.lock);
    main.timers.push_back({interval, Clock::now() + interval, std::move(tick)});
  }
  main.wake.notify_one();
}

void runMainLoop() {
  auto& main = loop();
  std::unique_lock guard(main.lock);
  for (;;) {
    // A due timer goes before the next task: however many tasks wait, the
    // watchdog ticks on time.
    auto now = Clock::now();
    Timer* next = nullptr;
    for (auto& timer : main.timers)
      if (next == nullptr || timer.due < next->due) next = &timer;
    if (next != nullptr && next->due <= now) {
      next->due += next->interval;
      auto tick = next->tick;
      guard.unlock();
      tick();
      guard.lock();
      continue;
    }
    if (!main.tasks.empty()) {
      auto task = std::move(main.tasks.front());
      main.tasks.pop_front();
      guard.unlock();
      task();
      guard.lock();
      continue;
    }
    if (next == nullptr)
      main.wake.wait(guard);
    else
      main.wake.wait_until(guard, next->due);
  }
}

}  // namespace host
