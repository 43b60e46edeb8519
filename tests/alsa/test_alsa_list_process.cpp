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
  EXPECT_EQ(uids, (std::vector<std::string>{"desk", "quad", "studio", "loose"}));
  EXPECT_EQ(document["inputs"][0],
            json::parse(R"({"name": "Stage Desk 32", "uid": "desk", "channels": 8, "rate": 48000, "rates": [48000]})"));
  EXPECT_EQ(document["inputs"][2]["name"], "B\u00fchne Links");
}
}  // namespace
