// Core Foundation string references for the layers that have no Core
// Foundation: a heap object holding UTF-8 text.
#include <cstring>
#include <string>

#include "platform/common/cf_string.h"

struct __CFString {
  std::string utf8;
};

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
  if (cStr == nullptr || encoding != kCFStringEncodingUTF8) return nullptr;
  return new __CFString{cStr};
}

CFIndex CFStringGetLength(CFStringRef string) {
  if (string == nullptr) return 0;
  CFIndex units = 0;
  for (unsigned char byte : string->utf8) {
    if ((byte & 0xC0) != 0x80) units += 1;  // a lead byte starts a code point
    if ((byte & 0xF8) == 0xF0) units += 1;  // four-byte sequences need a surrogate pair
  }
  return units;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
  return encoding == kCFStringEncodingUTF8 ? length * 3 : -1;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
  if (string == nullptr || buffer == nullptr || encoding != kCFStringEncodingUTF8) return false;
  if (bufferSize < 1 || string->utf8.size() >= static_cast<std::size_t>(bufferSize)) return false;
  std::memcpy(buffer, string->utf8.c_str(), string->utf8.size() + 1);
  return true;
}

void CFRelease(CFTypeRef object) { delete static_cast<const __CFString*>(object); }

std::string cfStringText(CFStringRef string) { return string == nullptr ? "" : string->utf8; }
