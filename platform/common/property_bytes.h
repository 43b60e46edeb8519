#pragma once
// Audio object property values as the bytes a data read hands out.
#include <cstddef>
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

// Whether a read of the property makes a string reference, which the reader
// owns and the size query must not make.
bool makesReference(AudioObjectPropertySelector selector);

// The end of a data read of `bytes`, of which the read reports `returned`:
// a list (devices, available rates) hands out what fits in `*ioDataSize`;
// any other value needs room for all of it, else the read fails with
// badPropertySize and releases the reference the value made.
OSStatus handOut(AudioObjectPropertySelector selector, const std::vector<unsigned char>& bytes, std::size_t returned,
                 UInt32* ioDataSize, void* outData);

}  // namespace property_bytes
