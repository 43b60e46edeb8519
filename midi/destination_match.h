#pragma once
// Which destination a requested name means.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lowest index whose name equals `request` ignoring case and canonical
// spelling; failing that, the lowest index whose name contains it. An empty
// request is contained in no name.
std::optional<std::size_t> matchDestination(const std::vector<std::string>& names, std::string_view request);
