#include "tests/support/tva1_samples.h"

#include <gtest/gtest.h>

#include <cstring>

namespace testing_support {

std::vector<std::vector<std::int16_t>> tva1Samples(const std::string& stream) {
  std::vector<std::vector<std::int16_t>> channels;
  std::size_t at = 0;
  while (at + 9 <= stream.size()) {
    EXPECT_EQ(stream.compare(at, 4, "TVA1"), 0) << "at byte " << at;
    std::size_t count = static_cast<unsigned char>(stream[at + 4]);
    std::uint32_t n;
    std::memcpy(&n, stream.data() + at + 5, 4);
    if (at + 9 + 2 * std::size_t{n} * count > stream.size()) break;
    EXPECT_GE(n, 800u) << "at byte " << at;
    channels.resize(count);
    for (std::size_t c = 0; c < count; ++c) {
      std::vector<std::int16_t> part(n);
      std::memcpy(part.data(), stream.data() + at + 9 + 2 * std::size_t{n} * c, 2 * std::size_t{n});
      channels[c].insert(channels[c].end(), part.begin(), part.end());
    }
    at += 9 + 2 * std::size_t{n} * count;
  }
  return channels;
}

}  // namespace testing_support
