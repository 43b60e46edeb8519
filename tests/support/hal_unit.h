#pragma once
// A new HAL output unit from whichever platform layer the test links, and
// the settings every test of it makes.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace testing_support {
inline AudioUnit newHalUnit() {
  AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_HALOutput,
                                        kAudioUnitManufacturer_Apple, 0, 0};
  AudioUnit unit = nullptr;
  EXPECT_EQ(AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &description), &unit), noErr);
  return unit;
}

inline OSStatus enableIO(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element, UInt32 on) {
  return AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, scope, element, &on, sizeof on);
}

inline OSStatus makeCurrent(AudioUnit unit, AudioObjectID id) {
  return AudioUnitSetProperty(unit, kAudioOutputUnitProperty_CurrentDevice, kAudioUnitScope_Global, 0, &id, sizeof id);
}
}  // namespace testing_support
