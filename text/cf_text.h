#pragma once
#include <string>

#include "platform/platform.h"

// The UTF-8 text of a string reference, which is then released; "" for null.
std::string takeText(CFStringRef string);
