// matchKey over Core Foundation, for macOS: the system has no ICU headers, and
// a third-party ICU would be a library users' Macs do not have.
#include <CoreFoundation/CoreFoundation.h>

#include "text/cf_owned.h"
#include "text/opaque_key.h"
#include "text/unicode_match.h"

namespace {
// The UTF-8 bytes of the whole string, embedded NULs included.
bool utf8Of(CFStringRef string, std::string& out) {
  CFRange all = CFRangeMake(0, CFStringGetLength(string));
  CFIndex bytes = 0;
  if (CFStringGetBytes(string, all, kCFStringEncodingUTF8, 0, false, nullptr, 0, &bytes) != all.length) return false;
  out.assign(static_cast<std::size_t>(bytes), '\0');
  auto* buffer = reinterpret_cast<UInt8*>(out.data());
  return CFStringGetBytes(string, all, kCFStringEncodingUTF8, 0, false, buffer, bytes, &bytes) == all.length;
}
}  // namespace

std::string matchKey(std::string_view utf8) {
  if (utf8.empty()) return "";
  // Core Foundation may drop a leading byte order mark; the key keeps it, as
  // any other character that neither case nor decomposition changes.
  constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
  if (utf8.starts_with(byteOrderMark)) {
    std::string rest = matchKey(utf8.substr(byteOrderMark.size()));
    if (!rest.empty() && rest.front() == '\xFF') return opaqueKey(utf8);
    return std::string(byteOrderMark) + rest;
  }
  // Bytes that are not UTF-8 give no string.
  cf::Owned<CFStringRef> text(CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(utf8.data()),
                                    static_cast<CFIndex>(utf8.size()), kCFStringEncodingUTF8, false));
  if (!text) return opaqueKey(utf8);
  cf::Owned<CFMutableStringRef> key(CFStringCreateMutableCopy(kCFAllocatorDefault, 0, text.get()));
  if (!key) return opaqueKey(utf8);

  // Lowercasing a decomposed text and decomposing again gives one form for
  // every canonically equivalent spelling; no locale, so no Turkish i rules.
  CFStringNormalize(key.get(), kCFStringNormalizationFormD);
  CFStringLowercase(key.get(), nullptr);
  CFStringNormalize(key.get(), kCFStringNormalizationFormD);

  std::string out;
  if (!utf8Of(key.get(), out)) return opaqueKey(utf8);
  return out;
}
