#include "capture/processing_thread.h"

#include <pthread.h>

#include <chrono>

#include "capture/capture.h"

namespace {
// Short enough that a block waits well under 2 ms; long enough to cost next to nothing idle.
constexpr auto pollInterval = std::chrono::milliseconds(1);

void nameThisThread(const char* name) {
#if defined(__APPLE__)
  pthread_setname_np(name);
#else
  pthread_setname_np(pthread_self(), name);
#endif
}
}  // namespace

ProcessingThread::~ProcessingThread() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void ProcessingThread::start(Capture& capture) {
  thread_ = std::thread([this, &capture] {
    nameThisThread("tavirel.dsp");
    while (!stop_.load(std::memory_order_relaxed))
      if (!serve(capture)) std::this_thread::sleep_for(pollInterval);
  });
}

void ProcessingThread::requestCheck(std::uint64_t blocks, Check check) {
  check_.store(check, std::memory_order_release);
  checkAfter_.store(blocks + 1, std::memory_order_release);
}

bool ProcessingThread::serve(Capture& capture) {
  bool worked = false;
  BlockRing::Block block;
  while (capture.ring.front(block)) {
    capture.process(block.data, block.frames);
    capture.ring.release();
    worked = true;
  }
  std::uint64_t after = checkAfter_.load(std::memory_order_acquire);
  if (after != 0 && capture.ring.released() >= after - 1) {
    Check check = check_.load(std::memory_order_acquire);
    // Cleared before it runs: a request that arrives meanwhile is served next round.
    if (checkAfter_.compare_exchange_strong(after, 0) && check != nullptr) check(capture);
    worked = true;
  }
  return worked;
}
