// Event lines: one compact JSON object per line, whatever bytes its strings hold.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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

// The names and keys the desktop application reads.
TEST(Events, EachEventAsTheApplicationReadsIt) {
  auto ended = runForked([] {
    reportPermission();
    reportStarted("Desk", 48000, 8, {3, 1});
    reportMidiSent("Lights", std::vector<std::uint8_t>{144, 60, 127});
    reportMidiError("MIDI destination not found: FX");
    fail("Audio device disconnected", 3);
  });
  EXPECT_EQ(ended.err,
            "{\"event\":\"permission\"}\n"
            "{\"channels\":[3,1],\"device\":\"Desk\",\"deviceChannels\":8,\"event\":\"started\",\"rate\":48000.0}\n"
            "{\"bytes\":[144,60,127],\"dest\":\"Lights\",\"event\":\"midi-sent\"}\n"
            "{\"event\":\"midi-error\",\"msg\":\"MIDI destination not found: FX\"}\n"
            "{\"event\":\"error\",\"msg\":\"Audio device disconnected\"}\n");
  EXPECT_EQ(ended.exitCode, 3);
}

TEST(Events, TextIsEscapedAndStaysOnOneLine) {
  std::string name = "Desk \"A\" \\ Bühne\nzwei\t🎛";
  auto ended = runForked([&] {
    reportStarted(name, 44100.5, 4, {2, 1});
    fail("Audio device not found: " + name, 3);
  });
  EXPECT_EQ(ended.exitCode, 3);
  ASSERT_EQ(std::count(ended.err.begin(), ended.err.end(), '\n'), 2);
  auto firstEnd = ended.err.find('\n');
  auto started = nlohmann::json::parse(ended.err.substr(0, firstEnd));
  EXPECT_EQ(started["device"], name);
  EXPECT_EQ(started["rate"], 44100.5);
  EXPECT_EQ(started["channels"], nlohmann::json({2, 1}));
  EXPECT_EQ(started["deviceChannels"], 4);
  EXPECT_EQ(nlohmann::json::parse(ended.err.substr(firstEnd + 1))["msg"], "Audio device not found: " + name);
}

TEST(Events, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  std::string invalid = "bad \xff\xfe utf-8";
  auto ended = runForked([&] {
    reportMidiSent(invalid, {});
    fail(invalid, 3);
  });
  EXPECT_EQ(ended.err,
            "{\"bytes\":[],\"dest\":\"bad \xEF\xBF\xBD\xEF\xBF\xBD utf-8\",\"event\":\"midi-sent\"}\n"
            "{\"event\":\"error\",\"msg\":\"bad \xEF\xBF\xBD\xEF\xBF\xBD utf-8\"}\n");
  EXPECT_EQ(ended.exitCode, 3);
}
}  // namespace
