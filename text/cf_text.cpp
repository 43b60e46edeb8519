#include "text/cf_text.h"

#include <vector>

std::optional<std::string> takeTextIfAny(CFStringRef string) {
  if (string == nullptr) return std::nullopt;
  std::optional<std::string> text;
  CFIndex length = CFStringGetLength(string);
  CFIndex capacity = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8);
  if (capacity >= 0) {
    std::vector<char> buffer(static_cast<std::size_t>(capacity) + 1, '\0');
    if (CFStringGetCString(string, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8))
      text = buffer.data();
  }
  CFRelease(string);
  return text;
}

std::string takeText(CFStringRef string) { return takeTextIfAny(string).value_or(""); }
