// The simulated machine's support log: one line per entry appended to the
// file named by TAVIREL_SIM_SUPPORT_LOG, so that tests can read it; nothing
// without it. Each line is one write on a file opened for appending.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/host.h"

namespace host {

void systemLog(bool problem, const std::string& text) {
  const char* path = std::getenv("TAVIREL_SIM_SUPPORT_LOG");
  if (path == nullptr) return;
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string line = (problem ? "problem: " : "info: ") + text + "\n";
  [[maybe_unused]] auto wrote = write(fd, line.data(), line.size());
  close(fd);
}

const char* inputLossMeasure() { return "counted by the simulated device"; }

}  // namespace host
