// trimSeparatorSpace over Core Foundation, for macOS, whose whitespace set is
// exactly general category Zs and the tab (CFCharacterSetGetPredefined).
#include <CoreFoundation/CoreFoundation.h>

#include "text/cf_owned.h"
#include "text/separator_space.h"

namespace {
// Every member of the set is in the Basic Multilingual Plane and no surrogate.
std::size_t utf8Length(UniChar c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : 3; }
}  // namespace

std::string_view trimSeparatorSpace(std::string_view utf8) {
  cf::Owned<CFStringRef> text(CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(utf8.data()),
                                                      static_cast<CFIndex>(utf8.size()), kCFStringEncodingUTF8, false));
  if (!text) return utf8;
  CFCharacterSetRef spaces = CFCharacterSetGetPredefined(kCFCharacterSetWhitespace);
  CFIndex first = 0, last = CFStringGetLength(text.get());
  std::size_t begin = 0, end = utf8.size();
  // Core Foundation may drop a leading byte order mark, which is no space:
  // nothing is trimmed at the front then.
  bool leadingMark = utf8.starts_with("\xEF\xBB\xBF");
  while (!leadingMark && first < last) {
    UniChar c = CFStringGetCharacterAtIndex(text.get(), first);
    if (!CFCharacterSetIsCharacterMember(spaces, c)) break;
    begin += utf8Length(c);
    ++first;
  }
  while (last > first) {
    UniChar c = CFStringGetCharacterAtIndex(text.get(), last - 1);
    if (!CFCharacterSetIsCharacterMember(spaces, c)) break;
    end -= utf8Length(c);
    --last;
  }
  return utf8.substr(begin, end - begin);
}
