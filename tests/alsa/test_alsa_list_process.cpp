// The built program lists the virtual capture devices of the test
// configuration, and says nothing on standard error.
#include <gtest/gtest.h>

#include "tests/support/process_runner.h"

namespace {
using nlohmann::json;
using testing_support::builtProgram;
using testing_support::runProcess;

TEST(AlsaListProcess, ListsTheConfiguredCaptureDevices) {
  std::string config = std::string(TAVIREL_SOURCE_DIR) + "/tests/alsa/capture-devices.conf";
  auto result = runProcess(builtProgram("tavirel-audio"), {"list"}, {{"ALSA_CONFIG_PATH", config}});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty());
  auto document = json::parse(result.out, nullptr, false);
  ASSERT_TRUE(document.is_object()) << result.out;
  std::vector<std::string> uids;
  for (const auto& input : document["inputs"]) uids.push_back(input["uid"]);
  EXPECT_EQ(uids, (std::vector<std::string>{"desk", "quad", "studio", "loose", "house"}));
  EXPECT_EQ(document["inputs"][0],
            json::parse(R"({"name": "Stage Desk 32", "uid": "desk", "channels": 8, "rate": 48000, "rates": [48000]})"));
  EXPECT_EQ(document["inputs"][2]["name"], "B\u00fchne Links");
}
}  // namespace

namespace {
std::vector<nlohmann::json> runEvents(const std::vector<std::string>& args, int expectedExit) {
  std::string config = std::string(TAVIREL_SOURCE_DIR) + "/tests/alsa/capture-devices.conf";
  auto result = runProcess(builtProgram("tavirel-audio"), args, {{"ALSA_CONFIG_PATH", config}});
  EXPECT_EQ(result.exitCode, expectedExit);
  EXPECT_TRUE(result.out.empty());
  return result.events();
}

// The run command's checks before capture see the ALSA devices: the lookup,
// the channel count and the rates a device takes.
TEST(AlsaRunProcess, SetUpChecksUseTheAlsaDevices) {
  EXPECT_EQ(runEvents({"run", "--device", "desk", "--channels", "9"}, 2),
            (std::vector<json>{{{"event", "error"}, {"msg", "Channel 9 does not exist on Stage Desk 32 (8 inputs)"}}}));
  EXPECT_EQ(runEvents({"run", "--device", "stage desk", "--rate", "44100"}, 2),
            (std::vector<json>{{{"event", "error"},
                                {"msg", "Stage Desk 32 refused 44100 Hz (now 48000 Hz). The console's clock may "
                                        "decide the rate."}}}));
  EXPECT_EQ(runEvents({"run", "--device", "Speaker"}, 3),
            (std::vector<json>{{{"event", "error"}, {"msg", "Audio device not found: Speaker"}}}));
}
}  // namespace
