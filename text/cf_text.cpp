// Stand-in.
#include "text/cf_text.h"

std::string takeText(CFStringRef string) {
  if (string != nullptr) CFRelease(string);
  return "";
}
