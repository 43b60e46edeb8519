#pragma once
// A simulated machine for tavirel-audio-sim: the scenario in a temporary file,
// removed when the test is done with it.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

class ScenarioFile {
 public:
  explicit ScenarioFile(const nlohmann::json& scenario) {
    char name[] = "/tmp/tavirel-scenario-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path_ = name;
    std::ofstream(path_) << scenario.dump();
  }
  ~ScenarioFile() { unlink(path_.c_str()); }
  ScenarioFile(const ScenarioFile&) = delete;
  ScenarioFile& operator=(const ScenarioFile&) = delete;

  std::vector<std::pair<std::string, std::string>> env() const { return {{"TAVIREL_SIM_SCENARIO", path_}}; }

 private:
  std::string path_;
};

}  // namespace testing_support
