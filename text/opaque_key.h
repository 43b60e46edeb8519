#pragma once
// The key of bytes that are not UTF-8, the same on every platform: 0xFF never
// occurs in UTF-8, so such a key equals only itself and is never part of a
// text's key.
#include <string>
#include <string_view>

inline std::string opaqueKey(std::string_view bytes) {
  std::string key;
  key.reserve(bytes.size() + 2);
  key.push_back('\xFF');
  key.append(bytes);
  key.push_back('\xFF');
  return key;
}
