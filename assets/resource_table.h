// The table of built-in resources that the build generates from the files under assets/
// (cmake/EmbedResources.cmake). Only resources.cpp reads it; the game uses assets/resources.h.
#pragma once

#include <cstddef>

namespace assets::detail {

struct EmbeddedResource {
  const char* type;  // "RESTYPE", "PICTURE" or "FONTFILE"
  int id;
  const unsigned char* data;
  std::size_t size;  // padding included
};

extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;

}  // namespace assets::detail
