// Microphone authorisation as the scenario says: a state, and the user's
// answer arriving on a thread of its own after a delay.
#include <thread>

#include "platform/host.h"
#include "platform/sim/sim_world.h"

namespace host {

Authorization microphoneAuthorization() {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  return static_cast<Authorization>(world.authorization.state);
}

void requestMicrophoneAccess(void (*answer)(bool granted, void* context), void* context) {
  auto& world = sim::world();
  sim::Authorization asked;
  double delayMs;
  {
    std::lock_guard guard(sim::worldLock());
    asked = world.authorization;
    delayMs = asked.answerAfterMs / world.speed;
  }
  std::thread([=] {
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delayMs));
    answer(asked.answer, context);
  }).detach();
}

}  // namespace host
