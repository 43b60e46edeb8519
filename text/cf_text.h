#pragma once
#include <optional>
#include <string>

#include "platform/platform.h"

// The UTF-8 text of a string reference, which is then released; nothing for
// null or for a string that cannot be had as UTF-8.
std::optional<std::string> takeTextIfAny(CFStringRef string);

// The same, with "" for nothing.
std::string takeText(CFStringRef string);
