// Looks resources up in the table that the build generates (see assets/CMakeLists.txt).
#include "assets/resources.h"

#include <stdexcept>
#include <string>

#include "assets/resource_table.h"

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

std::optional<std::span<const std::uint8_t>> find(std::string_view type, int id) {
  const std::span table(detail::kEmbeddedResources, detail::kEmbeddedResourceCount);
  for (const auto& entry : table) {
    if (entry.type == type && entry.id == id) {
      return std::span<const std::uint8_t>(entry.data, entry.size);
    }
  }
  return std::nullopt;
}

std::span<const std::uint8_t> picture(Pic id) {
  return required(kPictureType, static_cast<int>(id));
}

std::span<const std::uint8_t> font(FontFile id) {
  return required(kFontType, static_cast<int>(id));
}

}  // namespace assets
