#pragma once
#include <cstddef>
#include <string>

namespace tva1 {

// Reads until `size` bytes are in or the input ends; the count read. A read
// error stops the tool, naming the input.
std::size_t readFully(int fd, void* into, std::size_t size);

// The input a command names: standard input for "-" or nothing, else the
// file, opened for reading. A file that cannot be opened, or a directory,
// stops the tool with the file's name and the reason.
int openInput(const std::string& operand);

// What messages call the input openInput opened last (a command reads one):
// the file's name, or "standard input".
const std::string& inputName();

}  // namespace tva1
