#include "platform/common/property_bytes.h"

#include <algorithm>
#include <cstring>

#include "platform/api/core_foundation.h"
#include "platform/common/os_status.h"

namespace property_bytes {

std::vector<unsigned char> streamConfiguration(const std::vector<UInt32>& bufferChannels) {
  constexpr std::size_t listHeader = offsetof(AudioBufferList, mBuffers);
  std::vector<unsigned char> bytes(listHeader + bufferChannels.size() * sizeof(AudioBuffer), 0);
  auto count = static_cast<UInt32>(bufferChannels.size());
  std::memcpy(bytes.data(), &count, sizeof count);
  for (std::size_t i = 0; i < bufferChannels.size(); ++i) {
    AudioBuffer buffer{bufferChannels[i], 0, nullptr};
    std::memcpy(bytes.data() + listHeader + i * sizeof buffer, &buffer, sizeof buffer);
  }
  return bytes;
}

bool makesReference(AudioObjectPropertySelector selector) {
  return selector == kAudioObjectPropertyName || selector == kAudioDevicePropertyDeviceUID;
}

OSStatus handOut(AudioObjectPropertySelector selector, const std::vector<unsigned char>& bytes, std::size_t returned,
                 UInt32* ioDataSize, void* outData) {
  bool fixedSize = selector == kAudioDevicePropertyNominalSampleRate ||
                   selector == kAudioDevicePropertyStreamConfiguration || makesReference(selector);
  if (fixedSize && *ioDataSize < bytes.size()) {
    if (makesReference(selector) && bytes.size() == sizeof(CFStringRef)) {
      CFStringRef reference;
      std::memcpy(&reference, bytes.data(), sizeof reference);
      if (reference != nullptr) CFRelease(reference);
    }
    return os_status::badPropertySize;
  }
  std::size_t written = std::min<std::size_t>(returned, *ioDataSize);
  std::memcpy(outData, bytes.data(), written);
  *ioDataSize = static_cast<UInt32>(written);
  return noErr;
}

}  // namespace property_bytes
