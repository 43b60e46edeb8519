// Stand-in.
#include "text/unicode_match.h"

std::string matchKey(std::string_view utf8) { return std::string(utf8); }
