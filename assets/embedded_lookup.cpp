// Finds resources in a table that the build generates: the desktop's files or the page's own
// copies (see assets/CMakeLists.txt). A Windows program carries them as its own resources and
// looks them up there instead (platform/win32/win32_resources.cpp).
#include "assets/resource_table.h"
#include "assets/resources.h"

namespace assets {

std::optional<std::span<const std::uint8_t>> find(std::string_view type, int id) {
  const std::span table(detail::kEmbeddedResources, detail::kEmbeddedResourceCount);
  for (const auto& entry : table) {
    if (entry.type == type && entry.id == id) {
      return std::span<const std::uint8_t>(entry.data, entry.size);
    }
  }
  return std::nullopt;
}

}  // namespace assets
