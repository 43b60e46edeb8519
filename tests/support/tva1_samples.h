#pragma once
// Reads a stream of TVA1 frames back into samples.
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// Each channel's samples over the whole stream, frame after frame. A frame
// cut short at the end is left out.
std::vector<std::vector<std::int16_t>> tva1Samples(const std::string& stream);

}  // namespace testing_support
