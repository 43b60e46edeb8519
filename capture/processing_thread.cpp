#include "capture/processing_thread.h"

#include "capture/capture.h"
#include "capture/thread_name.h"

ProcessingThread::~ProcessingThread() {
  stop_.store(true);
  wake_.post();
  if (thread_.joinable()) thread_.join();
}

void ProcessingThread::start(Capture& capture) {
  thread_ = std::thread([this, &capture] {
    nameThisThread("tavirel.dsp");
    for (;;) {
      wake_.wait();
      if (stop_.load()) return;
      serve(capture);
    }
  });
}

void ProcessingThread::requestCheck(std::uint64_t blocks, Check check) {
  check_.store(check, std::memory_order_release);
  checkAfter_.store(blocks + 1, std::memory_order_release);
  wake_.post();
}

bool ProcessingThread::serve(Capture& capture) {
  bool worked = capture.processHandedOver();
  std::uint64_t after = checkAfter_.load(std::memory_order_acquire);
  if (after != 0 && capture.blocksProcessed() >= after - 1) {
    Check check = check_.load(std::memory_order_acquire);
    // Cleared before it runs: a request that arrives meanwhile is served next round.
    if (checkAfter_.compare_exchange_strong(after, 0) && check != nullptr) check(capture);
    worked = true;
  }
  return worked;
}
