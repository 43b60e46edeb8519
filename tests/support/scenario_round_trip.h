#pragma once
// A scenario a test hands the simulation must read back as written: the
// reader takes every key it is given, and the writer forgets none.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/sim/sim_scenario.h"

namespace testing_support {

// Every key and value of `part` stands in `whole`, which may hold more keys.
inline bool containedIn(const nlohmann::json& part, const nlohmann::json& whole) {
  if (part.is_object()) {
    if (!whole.is_object()) return false;
    for (auto& [key, value] : part.items())
      if (!whole.contains(key) || !containedIn(value, whole[key])) return false;
    return true;
  }
  if (part.is_array()) {
    if (!whole.is_array() || whole.size() != part.size()) return false;
    for (std::size_t i = 0; i < part.size(); ++i)
      if (!containedIn(part[i], whole[i])) return false;
    return true;
  }
  return part == whole;
}

inline void expectScenarioRoundTrips(const nlohmann::json& scenario) {
  auto reading = sim::readScenario(scenario.dump(), "test scenario");
  ASSERT_TRUE(reading.world) << reading.problem;
  auto written = sim::scenarioJson(*reading.world);
  EXPECT_TRUE(containedIn(scenario, written)) << scenario.dump() << "\nreads back as\n" << written.dump();
  auto again = sim::readScenario(written.dump(), "written scenario");
  ASSERT_TRUE(again.world) << again.problem;
  EXPECT_EQ(sim::scenarioJson(*again.world), written);
}

}  // namespace testing_support
