#include "main/termination_signals.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

namespace {
sigset_t terminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}
}  // namespace

void blockTerminationSignals() {
  sigset_t set = terminationSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void watchTerminationSignals(void (*onSignal)(int signal)) {
  // A handler could do next to nothing safely; a thread that takes the
  // blocked signals with sigwait may do anything an ordinary thread does.
  std::thread([onSignal] {
    sigset_t set = terminationSignals();
    bool first = true;
    for (;;) {
      int received = 0;
      if (sigwait(&set, &received) != 0) continue;
      if (first) onSignal(received);
      first = false;
    }
  }).detach();
}
