// The stand-ins hold the core to what Apple's HAL output unit and Core MIDI
// ask of a caller, so that what would fail on a Mac fails here too: each
// property on its own scope and element, input enabled and output disabled
// before the device is chosen, a render buffer list that matches the client
// format, packet lists of at most 65 536 bytes with no empty packet.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "capture/capture.h"
#include "main/capture_setup.h"
#include "tests/support/hal_unit.h"
#include "platform/common/midi_packets.h"
#include "platform/common/unit_properties.h"
#include "platform/sim/sim_world.h"
#include "tests/unit/forked.h"
#include "tests/unit/sim_devices.h"

namespace {
using namespace testing_support;

constexpr AudioObjectID deviceId = 7;
constexpr UInt32 deviceChannels = 3;

sim::Device desk() {
  sim::Device device = inputDevice(deviceId, "Desk", "desk-uid", {deviceChannels});
  device.rate = 48000;
  device.blockFrames = 8192;  // more than the unit's default slice: the core must raise it
  return device;
}

class UnitContract : public ::testing::Test {
 protected:
  void SetUp() override { configureDevices({desk()}); }
};

TEST_F(UnitContract, EveryPropertyTheCoreSetsLivesOnOneScopeAndElement) {
  struct Address {
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
  };
  UInt32 value = 0;
  AURenderCallbackStruct callback{};
  AudioStreamBasicDescription format = clientFormat(48000, deviceChannels);
  auto set = [&](const Address& at) {
    const void* data = &value;
    UInt32 size = sizeof value;
    if (at.id == kAudioUnitProperty_StreamFormat) data = &format, size = sizeof format;
    if (at.id == kAudioOutputUnitProperty_SetInputCallback) data = &callback, size = sizeof callback;
    if (at.id == kAudioOutputUnitProperty_CurrentDevice) value = deviceId;
    return AudioUnitSetProperty(newHalUnit(), at.id, at.scope, at.element, data, size);
  };
  const Address valid[] = {
      {kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Input, 1},
      {kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Output, 0},
      {kAudioOutputUnitProperty_CurrentDevice, kAudioUnitScope_Global, 0},
      {kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 1},
      {kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0},
      {kAudioOutputUnitProperty_SetInputCallback, kAudioUnitScope_Global, 0},
  };
  for (const Address& at : valid) {
    SCOPED_TRACE(at.id);
    EXPECT_EQ(set(at), noErr);
    EXPECT_EQ(set({at.id, at.scope, at.element + 1}), os_status::invalidElement);
    AudioUnitScope otherScope = at.scope == kAudioUnitScope_Global ? kAudioUnitScope_Input : kAudioUnitScope_Global;
    EXPECT_EQ(set({at.id, otherScope, at.element}), os_status::invalidProperty);
  }
  EXPECT_EQ(set({kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 1}), os_status::invalidProperty);
}

TEST_F(UnitContract, InputIsEnabledAndOutputDisabledBeforeTheDeviceIsChosen) {
  AudioUnit late = newHalUnit();
  ASSERT_EQ(makeCurrent(late, deviceId), noErr);
  ASSERT_EQ(enableIO(late, kAudioUnitScope_Input, 1, 1), noErr);
  ASSERT_EQ(enableIO(late, kAudioUnitScope_Output, 0, 0), noErr);
  EXPECT_EQ(AudioUnitInitialize(late), os_status::noConnection);

  AudioUnit outputLeftOn = newHalUnit();
  ASSERT_EQ(enableIO(outputLeftOn, kAudioUnitScope_Input, 1, 1), noErr);
  ASSERT_EQ(makeCurrent(outputLeftOn, deviceId), noErr);
  EXPECT_EQ(AudioUnitInitialize(outputLeftOn), os_status::noConnection);

  AudioUnit inOrder = newHalUnit();
  ASSERT_EQ(enableIO(inOrder, kAudioUnitScope_Input, 1, 1), noErr);
  ASSERT_EQ(enableIO(inOrder, kAudioUnitScope_Output, 0, 0), noErr);
  ASSERT_EQ(makeCurrent(inOrder, deviceId), noErr);
  EXPECT_EQ(AudioUnitInitialize(inOrder), noErr);
  EXPECT_EQ(makeCurrent(inOrder, deviceId), os_status::initialized);  // from now on the unit keeps its device
}

TEST_F(UnitContract, TheRenderBufferListMatchesTheClientFormat) {
  AudioUnit unit = newHalUnit();
  ASSERT_EQ(makeCurrent(unit, deviceId), noErr);
  AudioStreamBasicDescription format = clientFormat(48000, deviceChannels);
  ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 1, &format,
                                 sizeof format),
            noErr);
  constexpr UInt32 frames = 64;
  std::vector<float> storage(4 * frames);
  auto render = [&](UInt32 buffers, UInt32 bytes, UInt32 channelsPerBuffer) {
    std::vector<std::byte> raw(sizeof(AudioBufferList) + 4 * sizeof(AudioBuffer));
    auto* list = reinterpret_cast<AudioBufferList*>(raw.data());
    list->mNumberBuffers = buffers;
    for (UInt32 i = 0; i < buffers; ++i) list->mBuffers[i] = {channelsPerBuffer, bytes, storage.data() + i * frames};
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    return AudioUnitRender(unit, &flags, &stamp, 1, frames, list);
  };
  EXPECT_EQ(render(deviceChannels, frames * 4, 1), noErr);
  EXPECT_EQ(render(deviceChannels - 1, frames * 4, 1), os_status::invalidParameter);
  EXPECT_EQ(render(deviceChannels + 1, frames * 4, 1), os_status::invalidParameter);
  EXPECT_EQ(render(deviceChannels, frames * 4 - 4, 1), os_status::invalidParameter);
  EXPECT_EQ(render(deviceChannels, frames * 8, 2), os_status::invalidParameter);
}

// Everything the core asks of the unit, the way it asks it: a start through
// the stand-in renders blocks larger than the unit's default slice.
TEST_F(UnitContract, TheCaptureStartKeepsEveryRule) {
  auto result = runForked([] {
    auto* capture = new Capture(deviceChannels, {0, 2});  // lives for good, as in a run
    ResolvedRun run;
    run.device = deviceId;
    run.deviceChannels = deviceChannels;
    run.wanted = {1, 3};
    startOrFail(*capture, run);
    for (int wait = 0; wait < 400 && capture->input().handedOver().committed() == 0; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    _exit(capture->input().handedOver().committed() > 0 ? 0 : 1);
  });
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.err.find("\"started\""), std::string::npos) << result.err;
}

// A start the unit refuses comes back to the caller, which alone ends the
// process: the run goes on here, with the failure's class and text in hand.
TEST_F(UnitContract, ARefusedStartComesBackAsItsFailure) {
  auto failureWith = [](OSStatus sim::AudioUnitFaults::*fault, OSStatus status) {
    sim::World world;
    world.devices = {desk()};
    world.unit.*fault = status;
    sim::configure(world);
    Capture capture(deviceChannels, {0});
    ResolvedRun run;
    run.device = deviceId;
    return capture.start(run).value_or(Failure{FailureClass::arguments, "started"});
  };
  auto denied = failureWith(&sim::AudioUnitFaults::instanceStatus, kAudioUnitErr_Unauthorized);
  EXPECT_EQ(denied.kind, FailureClass::accessDenied);
  EXPECT_EQ(denied.msg, "Microphone access denied");
  auto unopened = failureWith(&sim::AudioUnitFaults::currentDeviceStatus, -50);
  EXPECT_EQ(unopened.kind, FailureClass::device);
  EXPECT_EQ(unopened.msg, "Could not open device (-50)");
  auto unformatted = failureWith(&sim::AudioUnitFaults::formatStatus, -10868);
  EXPECT_EQ(unformatted.kind, FailureClass::captureUnit);
  EXPECT_EQ(unformatted.msg, "Could not set capture format (-10868)");
}

TEST(PacketListContract, NoPacketWithoutAByteAndNoListBeyond65536Bytes) {
  std::vector<std::uint32_t> storage(70000 / 4);
  auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
  const Byte note[] = {0x90, 60, 100};
  MIDIPacket* packet = MIDIPacketListInit(list);
  EXPECT_EQ(MIDIPacketListAdd(list, 1024, packet, 0, 0, note), nullptr);
  ASSERT_NE(MIDIPacketListAdd(list, 1024, packet, 0, sizeof note, note), nullptr);
  EXPECT_EQ(midi_packets::checkList(list), noErr);

  // Lists made by hand, as a careless caller might.
  list->numPackets = 1;
  list->packet[0].length = 0;
  EXPECT_EQ(midi_packets::checkList(list), midi_packets::malformedList);
  ByteCount header = offsetof(MIDIPacketList, packet) + offsetof(MIDIPacket, data);
  list->packet[0].length = static_cast<UInt16>(midi_packets::largestList - header);
  EXPECT_EQ(midi_packets::checkList(list), noErr);
  list->packet[0].length += 1;
  EXPECT_EQ(midi_packets::checkList(list), midi_packets::malformedList);
}
}  // namespace
