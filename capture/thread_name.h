#pragma once
// Names the calling thread, as debuggers and profilers show it. macOS names
// only the calling thread and takes no thread argument.
#include <pthread.h>

inline void nameThisThread(const char* name) {
#if defined(__APPLE__)
  pthread_setname_np(name);
#else
  pthread_setname_np(pthread_self(), name);
#endif
}
