#pragma once
#include <cstddef>

// Writes every byte, resuming after partial writes and interrupted calls.
// False when the descriptor refuses (a closed pipe, for one).
bool writeAll(int fd, const void* data, std::size_t size);
