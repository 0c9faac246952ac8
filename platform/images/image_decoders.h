// Decoders for the two picture formats of the game that a host's own toolkit may not read: GIF
// (the bonus bird) and Windows icons and cursors (the window icon and the gun sight). Plain C++,
// shared by every host and tested on their own; a host wraps the result into its own images.
//
//   images::Decoded d = images::decodeGif(bytes);
//   if (!d.ok()) { log d.error; }
//   else use d.image.rgba (d.image.width x d.image.height, 4 bytes a pixel, top row first)
//
// Damaged or unsupported input gives an error with its reason; no input makes a decoder read
// outside the bytes it was given.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform::images {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // R, G, B, A for each pixel, rows from the top down
  int hotspotX = 0;                // where a cursor points; 0 for everything else
  int hotspotY = 0;
};

struct Decoded {
  Image image;
  std::string error;  // empty when the image was decoded
  bool ok() const { return error.empty(); }
};

// The first image of a GIF87a or GIF89a file, on its logical screen. The transparent colour
// index of a graphic control extension, and every pixel the image does not cover, have alpha 0.
Decoded decodeGif(std::span<const std::uint8_t> bytes);

// The first image of an .ico or .cur file holding a 16-colour BMP (4 bits a pixel with its AND
// mask), as the game's are. Pixels the mask leaves out have alpha 0; a cursor's hotspot comes with
// it.
Decoded decodeIconOrCursor(std::span<const std::uint8_t> bytes);

}  // namespace platform::images
