#include "platform/common/property_bytes.h"

#include <cstddef>
#include <cstring>

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

}  // namespace property_bytes
