#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/linux/alsa_probe.h"

namespace {
// Shared with the worker, which may outlive the wait.
struct Answer {
  std::mutex lock;
  std::condition_variable given;
  std::optional<AlsaProbe> probe;
};
}  // namespace

AlsaProbe probeAlsaPcmWithin(const std::string& pcm, bool hardware, std::chrono::milliseconds limit) {
  auto answer = std::make_shared<Answer>();
  try {
    std::thread([answer, pcm, hardware] {
      AlsaProbe probe = probeAlsaPcm(pcm, hardware);
      std::lock_guard guard(answer->lock);
      answer->probe = std::move(probe);
      answer->given.notify_one();
    }).detach();
  } catch (const std::system_error&) {
    return probeAlsaPcm(pcm, hardware);  // no thread to spare: ask without a limit
  }
  std::unique_lock held(answer->lock);
  if (!answer->given.wait_for(held, limit, [&] { return answer->probe.has_value(); })) {
    AlsaProbe late;
    late.answered = false;
    return late;
  }
  return std::move(*answer->probe);
}
