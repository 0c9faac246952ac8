// The lookup of assets/resources.h on Windows: the pictures, sounds and fonts are the program's
// own resources (compiled from assets/CMakeLists.txt's list), found by type name and id with
// FindResource. Their bytes stay mapped for as long as the program runs. In a Windows build it
// takes the place of the table's lookup (assets/embedded_lookup.cpp) for every program and test
// that links the assets.
#include <windows.h>

#include <string>

#include "assets/resources.h"

namespace assets {

std::optional<std::span<const std::uint8_t>> find(std::string_view type, int id) {
  // Resource ids are 16-bit; 0 and anything wider name no resource.
  if (type.empty() || id <= 0 || id > 0xFFFF) {
    return std::nullopt;
  }
  HMODULE program = GetModuleHandleW(nullptr);
  std::string typeName(type);
  HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(id), typeName.c_str());
  if (found == nullptr) {
    return std::nullopt;
  }
  HGLOBAL loaded = LoadResource(program, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) {
    return std::nullopt;
  }
  return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes),
                                       SizeofResource(program, found));
}

}  // namespace assets
