// MIDI bytes into sequencer events, and the MIDI service where there is no
// sequencer (as in containers).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "main/midi_report.h"
#include "midi/midi_output.h"
#include "platform/linux/alsa_seq_encode.h"
#include "tests/unit/stderr_events.h"

namespace {
std::vector<snd_seq_event_t> encoded(std::vector<unsigned char> bytes, int* result = nullptr) {
  std::vector<snd_seq_event_t> events;
  int status = encodeMidi(bytes.data(), bytes.size(), [&](snd_seq_event_t& event) {
    events.push_back(event);
    return 0;
  });
  if (result != nullptr) *result = status;
  return events;
}

TEST(MidiEncoding, ChannelMessagesWithRunningStatusAndRealTimeBytesBetween) {
  int result = 1;
  auto events = encoded({0x90, 60, 0xF8, 100, 62, 101, 0xB3, 7, 99}, &result);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].type, SND_SEQ_EVENT_CLOCK);
  EXPECT_EQ(events[1].type, SND_SEQ_EVENT_NOTEON);
  EXPECT_EQ(events[1].data.note.note, 60);
  EXPECT_EQ(events[1].data.note.velocity, 100);
  EXPECT_EQ(events[2].type, SND_SEQ_EVENT_NOTEON);
  EXPECT_EQ(events[2].data.note.note, 62);
  EXPECT_EQ(events[3].type, SND_SEQ_EVENT_CONTROLLER);
  EXPECT_EQ(events[3].data.control.channel, 3);
  EXPECT_EQ(events[3].data.control.param, 7u);
  EXPECT_EQ(events[3].data.control.value, 99);
}

TEST(MidiEncoding, LongSystemExclusiveIsOneEventWithEveryByte) {
  std::vector<unsigned char> sysex(5000);
  for (std::size_t i = 0; i < sysex.size(); ++i) sysex[i] = static_cast<unsigned char>(i % 128);
  sysex.front() = 0xF0;
  sysex.back() = 0xF7;
  std::vector<unsigned char> carried;
  int result = encodeMidi(sysex.data(), sysex.size(), [&](snd_seq_event_t& event) {
    EXPECT_EQ(event.type, SND_SEQ_EVENT_SYSEX);
    auto* data = static_cast<unsigned char*>(event.data.ext.ptr);
    carried.insert(carried.end(), data, data + event.data.ext.len);
    return 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(carried, sysex);
}

TEST(MidiEncoding, EachMessageStartsAfresh) {
  // Running status from one message must not complete stray bytes of the next.
  encoded({0x90, 60, 100});
  int result = 0;
  EXPECT_TRUE(encoded({62, 100}, &result).empty());
  EXPECT_EQ(result, -EINVAL);
}

TEST(MidiEncoding, AMessageEndingInsideAnEventIsRefused) {
  int result = 0;
  encoded({0x90, 60}, &result);
  EXPECT_EQ(result, -EINVAL);
  // Unfinished system exclusive fills the buffer and goes out as it is.
  auto unfinished = encoded({0xF0, 1, 2}, &result);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(unfinished.size(), 1u);
  EXPECT_EQ(unfinished[0].type, SND_SEQ_EVENT_SYSEX);
  EXPECT_EQ(unfinished[0].data.ext.len, 3u);
  EXPECT_TRUE(encoded({}, &result).empty());
  EXPECT_EQ(result, 0);
}

TEST(MidiEncoding, AFailedSendStopsTheMessage) {
  int calls = 0;
  std::vector<unsigned char> bytes{0x90, 60, 100, 0x80, 60, 0};
  EXPECT_EQ(encodeMidi(bytes.data(), bytes.size(), [&](snd_seq_event_t&) { return ++calls, -EAGAIN; }), -EAGAIN);
  EXPECT_EQ(calls, 1);
}

TEST(MidiWithoutSequencer, NoDestinationsAndEverySendIsAnError) {
  if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this machine has a sequencer";
  EXPECT_TRUE(midiDestinations().empty());
  forgetMidiClient();
  // Only the event, and nothing of alsa-lib's own complaints.
  auto events = testing_support::eventsOf([] { reportMidiOutcome(sendMidi({0x90, 60, 100}, "Lights")); });
  EXPECT_EQ(events, (std::vector<nlohmann::json>{
                        {{"event", "midi-error"}, {"msg", "MIDI destination not found: Lights"}}}));
  EXPECT_FALSE(midiClientMade());  // tried, and to be tried again
}
}  // namespace
