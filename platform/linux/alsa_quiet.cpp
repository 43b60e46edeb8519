#include "platform/linux/alsa_quiet.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace {
void silence(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

void quietAlsa() {
  static std::once_flag installed;
  std::call_once(installed, [] { snd_lib_error_set_handler(silence); });
}
