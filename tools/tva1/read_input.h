#pragma once
#include <cstddef>

namespace tva1 {

// Reads until `size` bytes are in or the input ends; the count read. A read
// error stops the tool.
std::size_t readFully(int fd, void* into, std::size_t size);

}  // namespace tva1
