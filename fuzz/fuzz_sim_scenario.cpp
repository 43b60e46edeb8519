// A scenario file as tavirel-audio-sim reads it. Besides crashes it checks
// that a refusal is one line naming the file, and that an accepted scenario
// written back out reads as the same world.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/sim/sim_scenario.h"
#include "fuzz/check.h"


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto reading = sim::readScenario(text, "fuzz.json");
  if (!reading.world) {
    check(!reading.problem.empty() && reading.problem.find('\n') == std::string::npos);
    check(reading.problem.find("fuzz.json") != std::string::npos);
    return 0;
  }
  auto written = sim::scenarioJson(*reading.world);
  auto again = sim::readScenario(written.dump(), "fuzz.json");
  check(again.world.has_value());
  check(sim::scenarioJson(*again.world) == written);
  return 0;
}
