#pragma once
// Name matching as people expect it: full Unicode lowercase mapping, and
// canonically equivalent spellings (precomposed or not) compare equal.
#include <string>
#include <string_view>

// A form of `text` in which equality and substring tests are the matching
// rules: lowercased and canonically decomposed. Invalid UTF-8 matches nothing
// but itself.
std::string matchKey(std::string_view utf8);
