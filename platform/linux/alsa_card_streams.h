#pragma once
// What a sound card says of a PCM's capture side without the PCM being
// opened: USB audio cards describe each stream in
// /proc/asound/card<N>/stream<D>. Lets a device that another program holds
// still be listed.
#include <optional>
#include <string>
#include <vector>

#include "platform/api/core_audio.h"

struct CardCapture {
  UInt32 channels = 0;  // the largest count of any of its formats
  std::vector<AudioValueRange> ranges;
};

// The capture section of a stream description, if it has one with channels and rates.
std::optional<CardCapture> captureFromStreamText(const std::string& text);

// The description of card `card`'s PCM device `device`, if the card gives one.
std::optional<CardCapture> cardCapture(int card, int device);
