// Sending to a destination by name, on the simulated MIDI service.
#include <gtest/gtest.h>

#include "main/midi_report.h"
#include "midi/destination_match.h"
#include "midi/midi_output.h"
#include "platform/sim/sim_world.h"
#include "tests/unit/stderr_events.h"

using nlohmann::json;
using testing_support::eventsOf;

namespace {
sim::World withDestinations(std::vector<std::optional<std::string>> names) {
  sim::World world;
  for (auto& name : names) world.midi.destinations.push_back({name});
  return world;
}

class MidiOutput : public ::testing::Test {
 protected:
  void SetUp() override { forgetMidiClient(); }
  void configure(const sim::World& world) { sim::configure(world); }
  json sendOne(const std::vector<std::uint8_t>& bytes, const std::string& dest) {
    auto events = eventsOf([&] { reportMidiOutcome(sendMidi(bytes, dest)); });
    EXPECT_EQ(events.size(), 1u);
    return events.empty() ? json() : events[0];
  }
  std::vector<sim::SentMessage> sent() {
    std::lock_guard guard(sim::worldLock());
    return sim::world().sent;
  }
};

TEST(DestinationMatch, ExactNameWinsOverEarlierSubstring) {
  EXPECT_EQ(matchDestination({"Main FX", "fx"}, "fx"), 1u);
  EXPECT_EQ(matchDestination({"Main FX", "Remain"}, "main"), 0u);
  EXPECT_EQ(matchDestination({"Remain", "Main FX"}, "main"), 0u);  // a part of a word is a substring too
  EXPECT_EQ(matchDestination({"Lights", "Sound"}, "video"), std::nullopt);
  EXPECT_EQ(matchDestination({}, "x"), std::nullopt);
}

TEST(DestinationMatch, EmptyRequestFindsOnlyAnEmptyName) {
  EXPECT_EQ(matchDestination({"Lights", "Sound"}, ""), std::nullopt);
  EXPECT_EQ(matchDestination({"Lights", ""}, ""), 1u);
}

TEST(DestinationMatch, IgnoresCaseAndCanonicalSpelling) {
  EXPECT_EQ(matchDestination({"Lights", "LIGHT DESK"}, "light desk"), 1u);
  EXPECT_EQ(matchDestination({"Bühne"}, "BÜHNE"), 0u);
  // Precomposed ü against u + combining diaeresis, both ways, whole and in part.
  EXPECT_EQ(matchDestination({"B\u00fchne links"}, "bu\u0308hne links"), 0u);
  EXPECT_EQ(matchDestination({"Bu\u0308hne links"}, "B\u00dcHNE"), 0u);
  // Full lowercase mapping: the capital sharp s and the dotted capital I.
  EXPECT_EQ(matchDestination({"\u0130stanbul"}, "i\u0307stanbul"), 0u);
}

TEST_F(MidiOutput, ListsNamesInOrderWithNumbersForUnnamedOnes) {
  configure(withDestinations({std::nullopt, "Lights", std::nullopt, "Lights"}));
  EXPECT_EQ(midiDestinations(), (std::vector<std::string>{"Destination 1", "Lights", "Destination 3", "Lights"}));
  configure({});
  EXPECT_TRUE(midiDestinations().empty());
}

TEST_F(MidiOutput, SentEventCarriesTheListedNameAndTheBytes) {
  configure(withDestinations({"Main FX", "fx", std::nullopt}));
  EXPECT_EQ(sendOne({144, 60, 127}, "fx"), (json{{"event", "midi-sent"}, {"dest", "fx"}, {"bytes", {144, 60, 127}}}));
  EXPECT_EQ(sendOne({176, 7, 0}, "destination 3"),
            (json{{"event", "midi-sent"}, {"dest", "Destination 3"}, {"bytes", {176, 7, 0}}}));
  // Nothing to send: Core MIDI takes no packet without a byte.
  EXPECT_EQ(sendOne({}, "MAIN"), (json{{"event", "midi-sent"}, {"dest", "Main FX"}, {"bytes", json::array()}}));
  auto record = sent();
  ASSERT_EQ(record.size(), 2u);
  EXPECT_EQ(record[0].destination, 1u);
  EXPECT_EQ(record[0].bytes, (std::vector<Byte>{144, 60, 127}));
  EXPECT_EQ(record[1].destination, 2u);
  // A long run keeps a bounded record: the latest messages, oldest first.
  eventsOf([] {
    for (int i = 0; i < 1100; ++i) sendMidi({176, 7, static_cast<std::uint8_t>(i % 128)}, "fx");
  });
  record = sent();
  ASSERT_EQ(record.size(), sim::maxSentRecorded);
  EXPECT_EQ(record.front().bytes, (std::vector<Byte>{176, 7, (1100 - 1024) % 128}));
  EXPECT_EQ(record.back().bytes, (std::vector<Byte>{176, 7, 1099 % 128}));
}

TEST_F(MidiOutput, UnknownDestinationIsReportedWithTheRequestUnchanged) {
  configure(withDestinations({"Lights"}));
  EXPECT_EQ(sendOne({144, 60, 127}, "Sound Désk"),
            (json{{"event", "midi-error"}, {"msg", "MIDI destination not found: Sound Désk"}}));
  EXPECT_EQ(sendOne({144}, ""), (json{{"event", "midi-error"}, {"msg", "MIDI destination not found: "}}));
  configure({});
  EXPECT_EQ(sendOne({144}, "Lights"), (json{{"event", "midi-error"}, {"msg", "MIDI destination not found: Lights"}}));
  EXPECT_TRUE(sent().empty());
}

TEST_F(MidiOutput, ClientAndPortAreMadeOnceOnTheFirstSendEvenWithoutAMatch) {
  configure(withDestinations({"Lights"}));
  midiDestinations();
  {
    std::lock_guard guard(sim::worldLock());
    EXPECT_EQ(sim::world().clientsCreated, 0);  // listing needs no client
  }
  sendOne({1}, "nowhere");
  sendOne({2}, "Lights");
  std::lock_guard guard(sim::worldLock());
  EXPECT_EQ(sim::world().clientsCreated, 1);
  EXPECT_EQ(sim::world().portsCreated, 1);
  EXPECT_EQ(sim::world().clientName, "Tavirel");
  EXPECT_EQ(sim::world().portName, "Tavirel Out");
}

TEST_F(MidiOutput, AFailedClientIsTriedAgainAndTheSendReportsTheFailure) {
  auto world = withDestinations({"Lights"});
  world.midi.clientStatus = -10839;
  configure(world);
  auto first = sendOne({144, 60, 127}, "Lights");
  EXPECT_EQ(first["event"], "midi-error");
  EXPECT_EQ(first["msg"], "MIDI send to Lights failed (-10831)");
  {
    std::lock_guard guard(sim::worldLock());
    sim::world().midi.clientStatus = 0;
  }
  EXPECT_EQ(sendOne({144, 60, 127}, "Lights")["event"], "midi-sent");
  EXPECT_EQ(sent().size(), 1u);
}

TEST_F(MidiOutput, AFailedSendIsAnErrorWithTheStatus) {
  auto world = withDestinations({"Lights"});
  world.midi.sendStatus = -10838;
  configure(world);
  EXPECT_EQ(sendOne({144, 60, 127}, "lights"),
            (json{{"event", "midi-error"}, {"msg", "MIDI send to Lights failed (-10838)"}}));
  EXPECT_TRUE(sent().empty());
}

TEST_F(MidiOutput, LongSystemExclusiveGoesOutWhole) {
  configure(withDestinations({"Console"}));
  // 65 522 bytes fill a list of 65 536, the largest Core MIDI takes.
  for (std::size_t length : {1019u, 1020u, 5000u, 65522u}) {
    std::vector<std::uint8_t> sysex(length, 0x55);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    auto event = sendOne(sysex, "Console");
    EXPECT_EQ(event["event"], "midi-sent") << length;
    EXPECT_EQ(event["bytes"].size(), length);
  }
  auto record = sent();
  ASSERT_EQ(record.size(), 4u);
  EXPECT_EQ(record[2].bytes.size(), 5000u);
  EXPECT_EQ(record[2].bytes.front(), 0xF0);
  EXPECT_EQ(record[2].bytes[4998], 0x55);
  EXPECT_EQ(record[2].bytes.back(), 0xF7);
  EXPECT_EQ(record[3].bytes.size(), 65522u);
}

TEST_F(MidiOutput, AMessageBeyondOnePacketIsAnErrorNotASend) {
  configure(withDestinations({"Console"}));
  for (std::size_t length : {65523u, 65536u}) {
    auto event = sendOne(std::vector<std::uint8_t>(length, 0x55), "Console");
    EXPECT_EQ(event, (json{{"event", "midi-error"},
                           {"msg", "MIDI message of " + std::to_string(length) +
                                       " bytes does not fit one packet; not sent to Console"}}));
  }
  EXPECT_TRUE(sent().empty());
}
}  // namespace
