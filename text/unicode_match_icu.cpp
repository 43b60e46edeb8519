// matchKey over ICU, for Linux.
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "text/opaque_key.h"
#include "text/unicode_match.h"

namespace {
using UText16 = std::vector<UChar>;

// Runs an ICU "preflight, then fill" call: `convert(destination, capacity, error)`
// returns the length it needs.
template <typename Char, typename Convert>
bool fill(std::vector<Char>& out, Convert convert) {
  UErrorCode error = U_ZERO_ERROR;
  int32_t needed = convert(nullptr, 0, &error);
  if (error != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(error)) return false;
  out.assign(static_cast<std::size_t>(needed) + 1, Char{});
  error = U_ZERO_ERROR;
  convert(out.data(), static_cast<int32_t>(out.size()), &error);
  if (U_FAILURE(error)) return false;
  out.resize(static_cast<std::size_t>(needed));
  return true;
}

bool decompose(const UNormalizer2* nfd, const UText16& in, UText16& out) {
  return fill(out, [&](UChar* dest, int32_t capacity, UErrorCode* error) {
    return unorm2_normalize(nfd, in.data(), static_cast<int32_t>(in.size()), dest, capacity, error);
  });
}
}  // namespace

std::string matchKey(std::string_view utf8) {
  if (utf8.empty()) return "";
  if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 4)) return opaqueKey(utf8);
  UErrorCode error = U_ZERO_ERROR;
  const UNormalizer2* nfd = unorm2_getNFDInstance(&error);
  if (U_FAILURE(error)) return opaqueKey(utf8);

  UText16 text;
  if (!fill(text, [&](UChar* dest, int32_t capacity, UErrorCode* e) {
        int32_t length = 0;
        u_strFromUTF8(dest, capacity, &length, utf8.data(), static_cast<int32_t>(utf8.size()), e);
        return length;
      }))
    return opaqueKey(utf8);

  // Lowercasing a decomposed text and decomposing again gives one form for
  // every canonically equivalent spelling (the root locale: no Turkish i rules).
  UText16 decomposed, lowered, key;
  if (!decompose(nfd, text, decomposed)) return opaqueKey(utf8);
  if (!fill(lowered, [&](UChar* dest, int32_t capacity, UErrorCode* e) {
        return u_strToLower(dest, capacity, decomposed.data(), static_cast<int32_t>(decomposed.size()), "", e);
      }))
    return opaqueKey(utf8);
  if (!decompose(nfd, lowered, key)) return opaqueKey(utf8);

  std::vector<char> out;
  if (!fill(out, [&](char* dest, int32_t capacity, UErrorCode* e) {
        int32_t length = 0;
        u_strToUTF8(dest, capacity, &length, key.data(), static_cast<int32_t>(key.size()), e);
        return length;
      }))
    return opaqueKey(utf8);
  return std::string(out.data(), out.size());
}
