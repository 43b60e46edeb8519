#pragma once
#include <cstddef>

namespace tva1 {

// Writes every byte to `fd`. A reader that has gone ends the tool with 0 and
// no word, as for the capture; any other refused write (a full disk) stops
// it with exit 1.
void writeOrEnd(int fd, const void* data, std::size_t size);

}  // namespace tva1
