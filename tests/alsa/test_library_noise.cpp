// Standard error carries event lines only, whatever a library prints there:
// here an ALSA plugin that writes plain text when it is opened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/process_runner.h"

namespace {
using nlohmann::json;
using namespace testing_support;

class NoisyPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    config = "/tmp/tavirel-noisy-" + std::to_string(getpid()) + ".conf";
    std::ofstream(config) << "pcm_type.tavirelnoisy { lib \"" TAVIREL_BUILD_DIR "/tests/libtavirel_test_pcm.so\" }\n"
                          << "pcm.noisy { type tavirelnoisy; hint { show on; description \"Noisy|IOIDInput\" } }\n";
  }
  void TearDown() override { std::remove(config.c_str()); }

  ProcessResult run(const std::vector<std::string>& args) {
    return runProcess(builtProgram("tavirel-audio"), args,
                      {{"ALSA_CONFIG_PATH", config}, {"TAVIREL_AUDIO_BACKEND", "alsa"}});
  }

  std::string config;
};

TEST_F(NoisyPlugin, ListingAndRunningPrintNothingButEvents) {
  auto listed = run({"list"});
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_TRUE(listed.err.empty()) << listed.err.front().text;

  auto ran = run({"run", "--device", "noisy"});
  EXPECT_EQ(ran.exitCode, 3);
  ASSERT_EQ(ran.err.size(), 1u) << ran.err.front().text;
  EXPECT_EQ(json::parse(ran.err[0].text)["event"], "error");
}
}  // namespace
