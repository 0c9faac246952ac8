// Loading resource data from the table built into the executable (see resources.h).
#include "forms/resources.h"

#include "assets/resources.h"

namespace forms {

ResourceData LoadResData(int id, std::string_view type) {
  auto found = assets::find(type, id);
  if (!found)
    return {{}, kResourceNotFound};
  return {std::vector<std::uint8_t>(found->begin(), found->end()), 0};
}

}  // namespace forms
