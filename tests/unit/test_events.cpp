// Event lines: one compact JSON object per line, or nothing at all.
#include <gtest/gtest.h>

#include "main/events.h"
#include "tests/unit/forked.h"

using testing_support::runForked;

namespace {
TEST(Events, FailWritesOneErrorLineThenExits) {
  auto ended = runForked([] { fail("no channels given", 2); });
  EXPECT_EQ(ended.exitCode, 2);
  EXPECT_EQ(ended.err, "{\"event\":\"error\",\"msg\":\"no channels given\"}\n");
  EXPECT_EQ(ended.out, "");

  EXPECT_EQ(runForked([] { fail("x"); }).exitCode, 2);  // the default code
  EXPECT_EQ(runForked([] { fail("x", 5); }).exitCode, 5);
}

TEST(Events, TextIsEscapedAndStaysOnOneLine) {
  std::string name = "Desk \"A\" \\ Bühne\nzwei\t🎛";
  auto ended = runForked([&] {
    status({{"event", "started"}, {"device", name}, {"rate", 44100.5}, {"channels", {2, 1}}});
    fail("Audio device not found: " + name, 3);
  });
  EXPECT_EQ(ended.exitCode, 3);
  ASSERT_EQ(std::count(ended.err.begin(), ended.err.end(), '\n'), 2);
  auto firstEnd = ended.err.find('\n');
  auto started = nlohmann::json::parse(ended.err.substr(0, firstEnd));
  EXPECT_EQ(started["device"], name);
  EXPECT_EQ(started["rate"], 44100.5);
  EXPECT_EQ(started["channels"], nlohmann::json({2, 1}));
  EXPECT_EQ(nlohmann::json::parse(ended.err.substr(firstEnd + 1))["msg"], "Audio device not found: " + name);
}

TEST(Events, AnEventThatCannotBeEncodedIsDropped) {
  std::string invalid = "bad \xff\xfe utf-8";
  EXPECT_FALSE(eventLine({{"event", "error"}, {"msg", invalid}}).has_value());
  auto ended = runForked([&] {
    status({{"event", "midi-sent"}, {"dest", invalid}});
    status({{"event", "permission"}});
    fail(invalid, 3);  // the line is lost, the exit code is not
  });
  EXPECT_EQ(ended.err, "{\"event\":\"permission\"}\n");
  EXPECT_EQ(ended.exitCode, 3);
}
}  // namespace
