#include "runtime/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

void occupyClosedStandardStreams() {
  // open gives the lowest free number: each call fills the next closed one.
  // /dev/null opened for reading only: reads end at once, writes fail (EBADF).
  for (;;) {
    int fd = open("/dev/null", O_RDONLY);
    if (fd < 0) return;
    if (fd > STDERR_FILENO) {
      close(fd);
      return;
    }
  }
}

int eventOutput = STDERR_FILENO;

void keepEventsFromLibraries() {
  // Above the standard descriptors, so it never takes their place; -1 when
  // standard error was closed, and events then go nowhere, as before.
  int events = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (sink >= 0 && sink != STDERR_FILENO) {
    dup2(sink, STDERR_FILENO);
    close(sink);
  }
  eventOutput = events;
}
