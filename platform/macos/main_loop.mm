// The main thread's loop on macOS is the main run loop, so that the system's
// notifications are served. Handed-over tasks wait in a queue of our own that
// a run-loop source serves one task per pass of the loop: the run loop looks at
// its timers between passes, so however many tasks wait, the watchdog ticks on
// time (the main dispatch queue would run every waiting task in one go).
#include <CoreFoundation/CoreFoundation.h>

#include <deque>
#include <mutex>

#include "runtime/process_end.h"
#include "platform/host.h"

namespace {
struct MainTasks {
  std::mutex lock;
  std::deque<std::function<void()>> waiting;
  CFRunLoopSourceRef source = nullptr;
};

void runOneTask(void* info) {
  auto& tasks = *static_cast<MainTasks*>(info);
  std::function<void()> task;
  {
    std::lock_guard guard(tasks.lock);
    if (tasks.waiting.empty()) return;
    task = std::move(tasks.waiting.front());
    tasks.waiting.pop_front();
    // The rest on a later pass, after any timer that has come due.
    if (!tasks.waiting.empty()) CFRunLoopSourceSignal(tasks.source);
  }
  task();
}

MainTasks& mainTasks() {
  static MainTasks* instance = [] {
    auto* tasks = new MainTasks;  // never destroyed: other threads may hand over tasks until the end
    CFRunLoopSourceContext context{};
    context.info = tasks;
    context.perform = runOneTask;
    tasks->source = CFRunLoopSourceCreate(kCFAllocatorDefault, 0, &context);
    CFRunLoopAddSource(CFRunLoopGetMain(), tasks->source, kCFRunLoopCommonModes);
    return tasks;
  }();
  return *instance;
}
}  // namespace

namespace host {

void onMain(std::function<void()> task) {
  auto& tasks = mainTasks();
  {
    std::lock_guard guard(tasks.lock);
    tasks.waiting.push_back(std::move(task));
    CFRunLoopSourceSignal(tasks.source);
  }
  CFRunLoopWakeUp(CFRunLoopGetMain());
}

void everyInterval(double seconds, std::function<void()> tick) {
  auto* held = new std::function<void()>(std::move(tick));  // lives as long as the timer: for good
  CFRunLoopTimerContext context{0, held, nullptr, nullptr, nullptr};
  CFRunLoopTimerRef timer = CFRunLoopTimerCreate(
      kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + seconds, seconds, 0, 0,
      [](CFRunLoopTimerRef, void* info) { (*static_cast<std::function<void()>*>(info))(); }, &context);
  CFRunLoopAddTimer(CFRunLoopGetMain(), timer, kCFRunLoopCommonModes);
}

void runMainLoop() {
  mainTasks();  // the task source keeps the run loop running
  CFRunLoopRun();
  // Should the run loop ever return, nothing more will happen; the audio and
  // processing threads may still run, so no destructor may.
  process::end(0);
}

}  // namespace host
