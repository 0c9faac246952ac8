// Loading resource data built into the executable, as the sound bank does: a fresh copy of the
// bytes, or error 326 when the executable has no resource of that id and type.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace forms {

inline constexpr int kResourceNotFound = 326;

struct ResourceData {
  std::vector<std::uint8_t> bytes;
  int error = 0;  // 0, or kResourceNotFound
};

ResourceData LoadResData(int id, std::string_view type);

}  // namespace forms
