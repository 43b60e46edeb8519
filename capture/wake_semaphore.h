#pragma once
// A counting semaphore the audio thread may post: a post takes no lock,
// allocates nothing, never blocks, and enters the kernel only when a thread
// is waiting. Each post lets one wait through, so no wake is lost between a
// look and a wait. macOS has no usable unnamed POSIX semaphores; dispatch's
// semaphore is its equivalent.
#if defined(__APPLE__)
#include <dispatch/dispatch.h>
#else
#include <semaphore.h>

#include <cerrno>
#endif

class WakeSemaphore {
 public:
  WakeSemaphore(const WakeSemaphore&) = delete;
  WakeSemaphore& operator=(const WakeSemaphore&) = delete;

#if defined(__APPLE__)
  WakeSemaphore() : semaphore_(dispatch_semaphore_create(0)) {}
  ~WakeSemaphore() { dispatch_release(semaphore_); }
  void post() { dispatch_semaphore_signal(semaphore_); }
  void wait() { dispatch_semaphore_wait(semaphore_, DISPATCH_TIME_FOREVER); }

 private:
  dispatch_semaphore_t semaphore_;
#else
  WakeSemaphore() { sem_init(&semaphore_, 0, 0); }
  ~WakeSemaphore() { sem_destroy(&semaphore_); }
  void post() { sem_post(&semaphore_); }
  void wait() {
    while (sem_wait(&semaphore_) != 0 && errno == EINTR) {
    }
  }

 private:
  sem_t semaphore_;
#endif
};
