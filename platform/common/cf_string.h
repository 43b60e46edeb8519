#pragma once
#include <string>

#include "platform/api/core_foundation.h"

// The text of a string reference the caller does not own; "" for null.
std::string cfStringText(CFStringRef string);
