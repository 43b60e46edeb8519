// The support log on Linux: syslog, which the journal collects
// (journalctl -t tavirel-audio). No LOG_PERROR or LOG_CONS: nothing may reach
// the standard streams or the console, whatever the state of the log daemon.
#include <syslog.h>

#include <mutex>

#include "platform/host.h"
#include "platform/linux/linux_devices.h"

namespace host {

void systemLog(bool problem, const std::string& text) {
  static std::once_flag opened;
  std::call_once(opened, [] { openlog("tavirel-audio", LOG_PID, LOG_USER); });
  syslog(problem ? LOG_WARNING : LOG_INFO, "%s", text.c_str());
}

const char* inputLossMeasure() {
  // A PipeWire stream's time moves by the driver's cycles, counted by the
  // graph; ALSA's by the period read, and after an overrun by what the
  // stream's time stamps say passed until it ran again.
  return std::holds_alternative<PipeWireSystem>(soundSystem()) ? "measured in the graph driver's cycles"
                                                               : "estimated from the stream's time stamps";
}

}  // namespace host
