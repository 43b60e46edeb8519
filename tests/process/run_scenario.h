#pragma once
// Runs the simulated build of `run` on a scenario written to a temporary file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/process_runner.h"
#include "tests/support/scenario_round_trip.h"

namespace run_scenario {
using nlohmann::json;
using namespace testing_support;

// A console with `channels` inputs at 48 kHz, named Desk.
inline json desk(int channels = 8, double rate = 48000) {
  return {{"id", 40},
          {"name", "Desk"},
          {"uid", "desk-uid"},
          {"inputBuffers", {channels}},
          {"rate", rate},
          {"ranges", json::array({json::array({rate, rate})})}};
}

inline json world(json device) { return {{"devices", json::array({std::move(device)})}}; }

// The text of a scenario file as it stands, for scenarios the simulation must refuse.
struct ScenarioText {
  std::string text;
};

class ScenarioFile {
 public:
  // Every scenario a test writes is first read and written back in-process.
  explicit ScenarioFile(const json& scenario) : ScenarioFile(ScenarioText{scenario.dump()}) {
    expectScenarioRoundTrips(scenario);
  }
  explicit ScenarioFile(const ScenarioText& scenario) {
    char name[] = "/tmp/tavirel-scenario-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path_ = name;
    std::ofstream(path_) << scenario.text;
  }
  ~ScenarioFile() { std::remove(path_.c_str()); }
  ScenarioFile(const ScenarioFile&) = delete;
  ScenarioFile& operator=(const ScenarioFile&) = delete;
  std::vector<std::pair<std::string, std::string>> env() const { return {{"TAVIREL_SIM_SCENARIO", path_}}; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The simulated program's support log, in a temporary file.
class SupportLogFile {
 public:
  SupportLogFile() : path_("/tmp/tavirel-support-" + std::to_string(getpid()) + "-" + std::to_string(counter()++)) {
    std::remove(path_.c_str());
  }
  ~SupportLogFile() { std::remove(path_.c_str()); }
  SupportLogFile(const SupportLogFile&) = delete;
  SupportLogFile& operator=(const SupportLogFile&) = delete;
  std::pair<std::string, std::string> env() const { return {"TAVIREL_SIM_SUPPORT_LOG", path_}; }
  std::string text() const {
    std::ifstream file(path_);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

 private:
  static int& counter() {
    static int count = 0;
    return count;
  }
  std::string path_;
};

inline std::vector<std::string> runArgs(std::vector<std::string> options) {
  options.insert(options.begin(), "run");
  return options;
}

// Runs to the end with standard input closed at once.
inline ProcessResult runToEnd(const json& scenario, const std::vector<std::string>& options,
                              Milliseconds limit = Milliseconds(20000)) {
  ScenarioFile file(scenario);
  return runProcess(builtProgram("tavirel-audio-sim"), runArgs(options), file.env(), "", limit);
}

// A run that keeps its standard input open, so that only the watchdog or the
// device can end it.
struct Streaming {
  Streaming(const json& scenario, const std::vector<std::string>& options)
      : file(scenario), process(builtProgram("tavirel-audio-sim"), runArgs(options), file.env()) {}
  ScenarioFile file;
  RunningProcess process;
};

inline json onlyEvent(const ProcessResult& result) {
  EXPECT_EQ(result.err.size(), 1u);
  if (result.err.empty()) return json();
  return json::parse(result.err.back().text, nullptr, false);
}

inline const ErrLine* findEvent(const ProcessResult& result, const std::string& name) {
  for (auto& line : result.err) {
    auto event = json::parse(line.text, nullptr, false);
    if (event.is_object() && event.value("event", "") == name) return &line;
  }
  return nullptr;
}

inline json error(const std::string& msg) { return {{"event", "error"}, {"msg", msg}}; }
}  // namespace run_scenario
