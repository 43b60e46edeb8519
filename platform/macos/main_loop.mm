// The main thread's loop on macOS is the main run loop, so that the system's
// notifications and the main dispatch queue are served.
#include <CoreFoundation/CoreFoundation.h>
#include <dispatch/dispatch.h>

#include <memory>

#include "main/process_end.h"
#include "platform/host.h"

namespace host {

void onMain(std::function<void()> task) {
  auto* handed = new std::function<void()>(std::move(task));
  dispatch_async_f(dispatch_get_main_queue(), handed, [](void* context) {
    std::unique_ptr<std::function<void()>> run(static_cast<std::function<void()>*>(context));
    (*run)();
  });
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
  CFRunLoopRun();
  // The run loop has no sources left, so nothing more will happen; the
  // audio and processing threads may still run, so no destructor may.
  process::end(0);
}

}  // namespace host
