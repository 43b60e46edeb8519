#pragma once
// The scenario file of tavirel-audio-sim: the simulated world as one JSON
// object. Its keys are listed once, in sim_scenario.cpp, and read strictly: a
// scenario that says something the simulation would not do is refused, never
// half-read.
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/sim_world.h"

namespace sim {

struct ScenarioReading {
  std::optional<World> world;  // absent when the scenario is refused
  std::string problem;         // then one line naming `fileName` and the key at fault
};

// Reads a scenario's text. Refuses text that is not JSON, an unknown key, a
// value of the wrong type or range, and a text value outside its list.
ScenarioReading readScenario(std::string_view text, std::string_view fileName);

// Reads the scenario file at `path`; a file that cannot be read is refused too.
ScenarioReading readScenarioFile(const std::string& path);

// The scenario that reads back as `world`, every key present.
nlohmann::json scenarioJson(const World& world);

}  // namespace sim
