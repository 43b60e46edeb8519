#pragma once
#include <cstddef>

namespace tva1 {

// Writes every byte to `fd`. A refused write means the reader has gone, as
// for the capture: the tool ends with 0 and says nothing.
void writeOrEnd(int fd, const void* data, std::size_t size);

}  // namespace tva1
