#pragma once
// Audio object property values as the bytes a data read hands out.
#include <vector>

#include "platform/api/core_audio.h"

namespace property_bytes {

template <typename T>
void append(std::vector<unsigned char>& bytes, const T& value) {
  const auto* start = reinterpret_cast<const unsigned char*>(&value);
  bytes.insert(bytes.end(), start, start + sizeof value);
}

// A stream configuration: a buffer list with one buffer per entry, each of
// that many channels.
std::vector<unsigned char> streamConfiguration(const std::vector<UInt32>& bufferChannels);

}  // namespace property_bytes
