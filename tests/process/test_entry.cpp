// The command word decides what the process does, on both builds alike.
#include <gtest/gtest.h>

#include "tests/support/process_runner.h"

using namespace testing_support;

namespace {
const char* usage =
    "usage: tavirel-audio list | run --device <name> --channels 2,3,4 [--rate 48000] | check --device <name> [--seconds 3] [--rate 48000]";

class Entry : public ::testing::TestWithParam<const char*> {
 protected:
  ProcessResult run(const std::vector<std::string>& args) { return runProcess(builtProgram(GetParam()), args); }
};

TEST_P(Entry, UnknownCommandWordsAreAUsageError) {
  for (auto word : {"LIST", "Run", "help", "", "--device", "--version"}) {
    auto result = run({word});
    EXPECT_EQ(result.exitCode, 2) << word;
    EXPECT_EQ(result.out, "") << word;
    ASSERT_EQ(result.err.size(), 1u) << word;
    EXPECT_EQ(nlohmann::json::parse(result.err[0].text),
              (nlohmann::json{{"event", "error"}, {"msg", usage}}));
  }
}

TEST_P(Entry, NoCommandWordListsLikeList) {
  auto bare = run({});
  auto list = run({"list"});
  auto withOptions = run({"list", "--device", "X"});
  EXPECT_EQ(bare.exitCode, 0);
  EXPECT_TRUE(bare.err.empty());
  EXPECT_EQ(bare.out, list.out);
  EXPECT_EQ(withOptions.out, list.out);
  ASSERT_FALSE(list.out.empty());
  EXPECT_EQ(list.out.back(), '\n');
  EXPECT_TRUE(nlohmann::json::parse(list.out).contains("inputs"));
}

TEST_P(Entry, RunWithoutDeviceValueIsMissingDevice) {
  auto result = run({"run", "--device"});
  EXPECT_EQ(result.exitCode, 2);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(nlohmann::json::parse(result.err[0].text)["msg"], "missing --device");
}

std::string buildName(const ::testing::TestParamInfo<const char*>& build) {
  return std::string(build.param) == "tavirel-audio" ? "linux" : "sim";
}
INSTANTIATE_TEST_SUITE_P(BothBuilds, Entry, ::testing::Values("tavirel-audio", "tavirel-audio-sim"), buildName);
}  // namespace
