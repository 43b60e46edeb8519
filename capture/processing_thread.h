#pragma once
// The serial processing context "tavirel.dsp": takes the blocks that the audio
// thread hands over, in order, through `Capture::process`, and runs the
// watchdog's check once every block handed over before the check was asked
// for has been processed. It sleeps until a block or a check request posts
// its semaphore.
#include <atomic>
#include <cstdint>
#include <thread>

#include "capture/wake_semaphore.h"

class Capture;

class ProcessingThread {
 public:
  using Check = void (*)(Capture&);

  ProcessingThread() = default;
  ProcessingThread(const ProcessingThread&) = delete;
  ProcessingThread& operator=(const ProcessingThread&) = delete;
  // The program never ends a capture; tests do, and the thread must not outlive it.
  ~ProcessingThread();

  void start(Capture& capture);

  // Audio thread: a block has been handed over. Never blocks.
  void wake() { wake_.post(); }

  // Any thread: run `check` on this thread after the first `blocks` blocks.
  // A request not yet served is replaced by the newer one, which sees more.
  void requestCheck(std::uint64_t blocks, Check check);

  // One round of work: every block waiting, then a check that is due.
  // False when there was nothing to do.
  bool serve(Capture& capture);

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> checkAfter_{0};  // blocks + 1; 0 when no check is asked for
  std::atomic<Check> check_{nullptr};
  WakeSemaphore wake_;
};
