// The pictures and fonts the build guarantees; find() is the program's lookup, which CMake
// chooses (assets/CMakeLists.txt): a table (embedded_lookup.cpp), or the program's own resources
// on Windows (platform/win32/win32_resources.cpp).
#include "assets/resources.h"

#include <stdexcept>
#include <string>

namespace assets {

namespace {

// Pictures and fonts are listed in assets/CMakeLists.txt, so a missing one is a broken build,
// not something the game can carry on without.
std::span<const std::uint8_t> required(std::string_view type, int id) {
  if (auto bytes = find(type, id)) {
    return *bytes;
  }
  throw std::logic_error("resource " + std::string(type) + " " + std::to_string(id) +
                         " is not built into the executable");
}

}  // namespace

std::span<const std::uint8_t> picture(Pic id) {
  return required(kPictureType, static_cast<int>(id));
}

std::span<const std::uint8_t> font(FontFile id) {
  return required(kFontType, static_cast<int>(id));
}

}  // namespace assets
