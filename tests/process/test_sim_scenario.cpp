// The simulated program follows its scenario to the letter or not at all.
#include <gtest/gtest.h>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
TEST(SimScenario, AScenarioItCannotFollowEndsTheProgramWithOneErrorEvent) {
  ScenarioFile misspelt(ScenarioText{R"({"devices": [{"id": 40, "name": "Desk", "unreadble": ["name"]}]})"});
  std::vector<std::pair<std::string, std::string>> missing{{"TAVIREL_SIM_SCENARIO", "/nonexistent/scenario.json"}};
  struct Case {
    std::vector<std::pair<std::string, std::string>> env;
    std::string msg;
  };
  for (auto& [env, msg] : {Case{misspelt.env(), "Scenario file " + misspelt.path() +
                                                    ": devices[0].unreadble is not a key of the scenario"},
                           Case{missing, "Scenario file /nonexistent/scenario.json: cannot be read "
                                         "(No such file or directory)"}}) {
    for (auto& args : {std::vector<std::string>{"list"}, runArgs({"--device", "Desk", "--channels", "1"})}) {
      auto result = runProcess(builtProgram("tavirel-audio-sim"), args, env);
      EXPECT_EQ(result.exitCode, 2) << args[0] << ": " << msg;
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(onlyEvent(result), error(msg));
    }
  }
}
}  // namespace
