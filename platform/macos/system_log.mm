// The support log on macOS: the unified log, subsystem "app.tavirel.audio",
// category "support". Entries are public: they hold device and destination
// names, which a support case needs to see.
#include <os/log.h>

#include "platform/host.h"

namespace host {

void systemLog(bool problem, const std::string& text) {
  static os_log_t log = os_log_create("app.tavirel.audio", "support");
  if (problem)
    os_log_error(log, "%{public}s", text.c_str());
  else
    os_log(log, "%{public}s", text.c_str());
}

// The HAL's sample time counts every frame the device clocked, delivered or not.
const char* inputLossMeasure() { return "measured by the device's sample time"; }

}  // namespace host
