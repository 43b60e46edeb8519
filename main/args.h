#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The process's argument vector, unchanged; element 0 is the program path.
extern std::vector<std::string> args;

// The argument after the first occurrence of `name`, if there is one.
std::optional<std::string> arg(std::string_view name);
