#include "main/args.h"

#include <algorithm>

std::vector<std::string> args;

std::optional<std::string> arg(std::string_view name) {
  auto found = std::find(args.begin(), args.end(), name);
  if (found == args.end() || std::next(found) == args.end()) return std::nullopt;
  return *std::next(found);
}
