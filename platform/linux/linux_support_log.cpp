// The support log on Linux: syslog, which the journal collects
// (journalctl -t tavirel-audio). No LOG_PERROR or LOG_CONS: nothing may reach
// the standard streams or the console, whatever the state of the log daemon.
#include <syslog.h>

#include <mutex>

#include "platform/host.h"

namespace host {

void supportLog(bool problem, const std::string& text) {
  static std::once_flag opened;
  std::call_once(opened, [] { openlog("tavirel-audio", LOG_PID, LOG_USER); });
  syslog(problem ? LOG_WARNING : LOG_INFO, "%s", text.c_str());
}

}  // namespace host
