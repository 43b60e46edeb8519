// Command lines on standard input while `run` streams on the simulated machine.
#include <gtest/gtest.h>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
json stage(json midi = {{"destinations", {"Lights", "Sound", nullptr}}}) {
  auto scenario = world(desk());
  scenario["midi"] = std::move(midi);
  return scenario;
}

json sentTo(const std::string& dest, const json& bytes) { return {{"event", "midi-sent"}, {"dest", dest}, {"bytes", bytes}}; }
json notFound(const std::string& dest) { return {{"event", "midi-error"}, {"msg", "MIDI destination not found: " + dest}}; }

// The events after "started", parsed.
std::vector<json> eventsAfterStart(const ProcessResult& result) {
  std::vector<json> events;
  for (auto& event : result.events())
    if (!(event.is_object() && event.value("event", "") == "started")) events.push_back(event);
  return events;
}

struct Session {
  explicit Session(const json& scenario = stage()) : run(scenario, {"--device", "Desk", "--channels", "1,2"}) {
    started = run.process.waitFor([](const ProcessResult& r) { return findEvent(r, "started") != nullptr; },
                                  Milliseconds(10000));
  }
  // Waits until `count` events have followed "started".
  bool eventsAfterStart(std::size_t count) {
    return run.process.waitFor([count](const ProcessResult& r) { return r.err.size() >= count + 1; },
                               Milliseconds(10000));
  }
  Streaming run;
  bool started = false;
};

TEST(ControlChannel, EveryKindOfLineWhileFramesFlow) {
  Session session;
  ASSERT_TRUE(session.started);
  auto framesBefore = session.run.process.snapshot().out.size();
  std::string lines =
      "{\"midi\": [144, 60, 127], \"dest\": \"Lights\"}\n"
      "{\"midi\": [-5, 300, 64], \"dest\": \"SOUND\"}\n"
      "{\"midi\": [144, \"60\"], \"dest\": \"Lights\"}\n"
      "{\"midi\": [176, 1]}\n"
      "{\"midi\": [], \"dest\": \"light\"}\n"
      "{\"midi\": [1], \"dest\": \"destination 3\"}\n"
      "{\"midi\": [2], \"dest\": \"Video\", \"volume\": 3}\n"
      "{\"midi\": [18446744073709551616, -18446744073709551616], \"dest\": \"Sound\"}\n"
      "{\"midi\": [3], \"dest\": [\"Lights\"]}\n"
      "\n"
      "hello\n"
      "[{\"midi\": [4], \"dest\": \"Lights\"}]\n"
      "{\"midi\": [5], \"dest\": \"\xC3\x28\"}\n"
      "{\"midi\": [6], \"dest\": \"Lights\"}}\n";
  lines += "{\"x\": " + std::string(100'000, '[') + std::string(100'000, ']') + ", \"midi\": [7], \"dest\": \"Lights\"}\n";
  session.run.process.write(lines);
  // A line without end, written in pieces, then ended; reading goes on after it.
  for (int i = 0; i < 110; ++i) session.run.process.write(std::string(10'000, ' '));
  session.run.process.write("{\"midi\": [8], \"dest\": \"Lights\"}\n{\"midi\": [9], \"dest\": \"Lights\"}\n");
  ASSERT_TRUE(session.eventsAfterStart(8));
  EXPECT_TRUE(session.run.process.waitFor(
      [framesBefore](const ProcessResult& r) { return r.out.size() > framesBefore; }, Milliseconds(5000)));
  session.run.process.closeInput();
  auto result = session.run.process.wait(Milliseconds(10000));

  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(eventsAfterStart(result),
            (std::vector<json>{sentTo("Lights", {144, 60, 127}), sentTo("Sound", {0, 255, 64}), notFound(""),
                               sentTo("Lights", json::array()), sentTo("Destination 3", {1}), notFound("Video"),
                               sentTo("Sound", {255, 0}), notFound(""), sentTo("Lights", {9})}));
}

TEST(ControlChannel, QuitSendsTheMessagesHandedOverBeforeItsEnd) {
  for (auto quit : {"true", "false", "null", "{}"}) {
    Session session;
    ASSERT_TRUE(session.started);
    session.run.process.write("{\"midi\": [1], \"dest\": \"Lights\"}\n{\"midi\": [144, 61, 100], \"dest\": \"Sound\", "
                              "\"quit\": " + std::string(quit) + "}\n{\"midi\": [3], \"dest\": \"Lights\"}\n");
    auto result = session.run.process.wait(Milliseconds(10000));
    EXPECT_EQ(result.exitCode, 0) << quit;
    EXPECT_EQ(eventsAfterStart(result), (std::vector<json>{sentTo("Lights", {1}), sentTo("Sound", {144, 61, 100})}))
        << quit;
  }
}

TEST(ControlChannel, EndOfInputHandlesALastLineWithoutLineFeed) {
  Session last;
  ASSERT_TRUE(last.started);
  last.run.process.write("{\"midi\": [1], \"dest\": \"Sound\"}\n{\"midi\": [2], \"dest\": \"Lights\"}");
  last.run.process.closeInput();
  auto result = last.run.process.wait(Milliseconds(10000));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(eventsAfterStart(result), (std::vector<json>{sentTo("Sound", {1}), sentTo("Lights", {2})}));
}

TEST(ControlChannel, SendFailuresAreEventsAndTheRunGoesOn) {
  Session session(stage({{"destinations", {"Lights"}}, {"sendStatus", -10838}}));
  ASSERT_TRUE(session.started);
  session.run.process.write("{\"midi\": [1], \"dest\": \"Lights\"}\n{\"midi\": [2], \"dest\": \"Nowhere\"}\n");
  ASSERT_TRUE(session.eventsAfterStart(2));
  session.run.process.closeInput();
  auto result = session.run.process.wait(Milliseconds(10000));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(eventsAfterStart(result),
            (std::vector<json>{{{"event", "midi-error"}, {"msg", "MIDI send to Lights failed (-10838)"}},
                               notFound("Nowhere")}));
}

TEST(ControlChannel, QuitEndsTheRunEvenWhileTheMidiServiceHangs) {
  Session session(stage({{"destinations", {"Lights"}}, {"listingHangs", true}}));
  ASSERT_TRUE(session.started);
  session.run.process.write("{\"midi\": [1], \"dest\": \"Lights\"}\n{\"quit\": true}\n");
  auto result = session.run.process.wait(Milliseconds(15000));
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(eventsAfterStart(result).empty());
}
TEST(ControlChannel, TheLargestSysExGoesOutWholeFromOneLine) {
  // The largest message one packet list of 65 536 bytes holds (list and packet headers: 14 bytes).
  json sysex = json::array({0xF0, 0x7D});
  for (int i = 0; sysex.size() < 65521; ++i) sysex.push_back(100 + i * 7 % 28);  // three digits each
  sysex.push_back(0xF7);
  // Spaced as many JSON writers do: 5 bytes a number, well past the old 64 KiB cap.
  std::string line = "{\"dest\": \"Lights\", \"midi\": [" + std::to_string(0xF0);
  for (std::size_t i = 1; i < sysex.size(); ++i) line += ", " + sysex[i].dump();
  line += "]}\n";
  ASSERT_GT(line.size(), 320'000u);
  Session session;
  ASSERT_TRUE(session.started);
  session.run.process.write(line + "{\"midi\": [1], \"dest\": \"Sound\"}\n");
  ASSERT_TRUE(session.eventsAfterStart(2));
  session.run.process.closeInput();
  auto result = session.run.process.wait(Milliseconds(10000));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(eventsAfterStart(result), (std::vector<json>{sentTo("Lights", sysex), sentTo("Sound", {1})}));
}
}  // namespace
