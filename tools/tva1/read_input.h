#pragma once
#include <cstddef>
#include <string>

namespace tva1 {

// Reads until `size` bytes are in or the input ends; the count read. A read
// error stops the tool.
std::size_t readFully(int fd, void* into, std::size_t size);

// The input a command names: standard input for "-" or nothing, else the
// file, opened for reading. A file that cannot be opened stops the tool.
int openInput(const std::string& operand);

}  // namespace tva1
