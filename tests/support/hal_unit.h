#pragma once
// A new HAL output unit from whichever platform layer the test links.
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
}  // namespace testing_support
