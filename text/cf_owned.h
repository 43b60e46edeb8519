#pragma once
// A Core Foundation object we made, released when it goes (macOS only).
#include <CoreFoundation/CoreFoundation.h>

#include <memory>
#include <type_traits>

namespace cf {
struct Release {
  void operator()(CFTypeRef object) const { CFRelease(object); }
};
template <typename Ref>
using Owned = std::unique_ptr<std::remove_pointer_t<Ref>, Release>;
}  // namespace cf
