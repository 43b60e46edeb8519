#pragma once
// Trimming as people expect it around typed values: tabs and every Unicode
// space separator (general category Zs), but not line breaks.
#include <string_view>

// `utf8` without its leading and trailing tabs and space separators. Bytes
// that are not UTF-8 are never trimmed away.
std::string_view trimSeparatorSpace(std::string_view utf8);
