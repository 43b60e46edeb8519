// trimSeparatorSpace over ICU, for Linux.
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

#include "text/separator_space.h"

namespace {
bool isSeparatorSpace(UChar32 c) { return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR; }
}  // namespace

std::string_view trimSeparatorSpace(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  auto length = static_cast<std::int32_t>(text.size());
  std::int32_t begin = 0;
  while (begin < length) {
    std::int32_t next = begin;
    UChar32 c;
    U8_NEXT(bytes, next, length, c);
    if (c < 0 || !isSeparatorSpace(c)) break;
    begin = next;
  }
  std::int32_t end = length;
  while (end > begin) {
    std::int32_t previous = end;
    UChar32 c;
    U8_PREV(bytes, begin, previous, c);
    if (c < 0 || !isSeparatorSpace(c)) break;
    end = previous;
  }
  return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}
