// The parent starts the Linux build with one standard stream closed, on the
// virtual console (alsa-lib's null device opens /dev/full, which would take
// the closed number): each behaves as the closed stream it stands for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/process_runner.h"

namespace {
using nlohmann::json;
using namespace testing_support;

class ClosedStream : public ::testing::Test {
 protected:
  void SetUp() override {
    recording = tempPath("silence");
    std::ofstream(recording, std::ios::binary) << std::string(48000 * 4 * 4 * 3, '\0');  // 3 s, four channels
    std::ifstream source(std::string(TAVIREL_SOURCE_DIR) + "/tests/alsa/capture-run.conf");
    std::stringstream text;
    text << source.rdbuf();
    std::string config = text.str();
    config.replace(config.find("@RECORDING@", config.find("infile")), 11, recording);
    configPath = tempPath("closed-conf");
    std::ofstream(configPath) << config;
  }
  void TearDown() override {
    std::remove(recording.c_str());
    std::remove(configPath.c_str());
  }

  static std::string tempPath(const char* stem) {
    std::string pattern = std::string("/tmp/tavirel-") + stem + "-XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd >= 0) close(fd);
    return pattern;
  }

  // `run` on the console with the shell redirection `closing` (such as "0<&-").
  std::unique_ptr<RunningProcess> start(const std::string& closing) {
    return std::make_unique<RunningProcess>(
        "/bin/sh", std::vector<std::string>{"-c", "exec \"$0\" run --device console --channels 1 " + closing,
                                            builtProgram("tavirel-audio")},
        std::vector<std::pair<std::string, std::string>>{{"ALSA_CONFIG_PATH", configPath}});
  }

  std::string recording, configPath;
};

TEST_F(ClosedStream, ClosedInputIsTheEndOfInputAtOnce) {
  auto run = start("0<&-");
  auto result = run->wait(Milliseconds(5000));
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(json::parse(result.err[0].text)["event"], "started");
}

TEST_F(ClosedStream, ClosedOutputIsAFailedFrameWrite) {
  auto run = start("1>&-");
  auto result = run->wait(Milliseconds(5000));  // standard input stays open: only the write can end it
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(json::parse(result.err[0].text)["event"], "started");
}

TEST_F(ClosedStream, ClosedErrorLosesOnlyTheEvents) {
  auto run = start("2>&-");
  ASSERT_TRUE(run->waitFor([](const ProcessResult& r) { return r.out.size() >= 16000; }, Milliseconds(5000)));
  run->closeInput();
  auto result = run->wait(Milliseconds(5000));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty());
  EXPECT_EQ(result.out.compare(0, 4, "TVA1"), 0);
}
}  // namespace
