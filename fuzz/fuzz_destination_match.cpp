// The "dest" of a command line against destination names, both arbitrary
// bytes: the input is the request, then the names, separated by NUL bytes.
// Besides crashes it checks that a match is a name whose key holds the
// request's key, and that nothing matches an empty key but an empty key.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "midi/destination_match.h"
#include "text/unicode_match.h"
#include "fuzz/check.h"


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto cut = input.find('\0');
  std::string_view request = input.substr(0, cut);
  std::vector<std::string> names;
  while (cut != std::string_view::npos) {
    input.remove_prefix(cut + 1);
    cut = input.find('\0');
    names.emplace_back(input.substr(0, cut));
  }
  auto found = matchDestination(names, request);
  if (!found) return 0;
  check(*found < names.size());
  std::string want = matchKey(request), key = matchKey(names[*found]);
  check(key.find(want) != std::string::npos);
  check(!want.empty() || key.empty());
  return 0;
}
