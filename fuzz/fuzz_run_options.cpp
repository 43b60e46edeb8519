// The values of --channels and --rate. Besides crashes it checks that every
// channel read is one the text can hold and that reads back the same, and
// that a rate shown as whole Hz reads back as its integer part.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "main/run_options.h"
#include "text/whole_hz.h"
#include "fuzz/check.h"


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (auto channel : parseChannelList(text)) check(parseChannel(std::to_string(channel)) == channel);

  auto rate = parseRate(text);
  if (!rate) return 0;
  auto shown = wholeHz(*rate);
  if (std::isnan(*rate)) {
    check(shown == "nan");
  } else if (std::isinf(*rate)) {
    check(shown == (*rate > 0 ? "inf" : "-inf"));
  } else {
    auto whole = std::trunc(*rate);
    check(std::strtod(shown.c_str(), nullptr) == (whole == 0 ? 0.0 : whole));
  }
  return 0;
}
