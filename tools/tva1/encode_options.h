#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace tva1 {

struct EncodeOptions {
  double rate = 0;
  std::size_t channels = 0;
};

// "--rate R --channels C", both required, in either order. Stops the tool on
// anything else.
EncodeOptions parseEncodeOptions(const std::vector<std::string>& args);

}  // namespace tva1
