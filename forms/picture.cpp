// Sizing the built-in pictures from their headers (see picture.h).
#include "forms/picture.h"

#include <cstdlib>
#include <stdexcept>

namespace forms {

namespace {

std::uint32_t readLe(std::span<const std::uint8_t> b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i)
    v = (v << 8) | b[at + i];
  return v;
}

bool startsWith(std::span<const std::uint8_t> b, std::string_view magic) {
  if (b.size() < magic.size())
    return false;
  for (std::size_t i = 0; i < magic.size(); ++i) {
    if (b[i] != static_cast<std::uint8_t>(magic[i]))
      return false;
  }
  return true;
}

}  // namespace

Picture Picture::fromBytes(std::string name, std::span<const std::uint8_t> bytes) {
  int width = 0, height = 0;
  if (startsWith(bytes, "BM") && bytes.size() >= 26) {
    // BITMAPINFOHEADER: signed width and height; a negative height means top-down rows.
    width = std::abs(static_cast<std::int32_t>(readLe(bytes, 18, 4)));
    height = std::abs(static_cast<std::int32_t>(readLe(bytes, 22, 4)));
  } else if ((startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a")) && bytes.size() >= 10) {
    width = static_cast<int>(readLe(bytes, 6, 2));  // the logical screen
    height = static_cast<int>(readLe(bytes, 8, 2));
  } else if (startsWith(bytes, "RIFF") && bytes.size() >= 25 &&
             startsWith(bytes.subspan(8), "WEBPVP8L") && bytes[20] == 0x2f) {
    // The page's lossless WebP: 14 bits each of width - 1 and height - 1 after the signature.
    std::uint32_t bits = readLe(bytes, 21, 4);
    width = static_cast<int>(bits & 0x3fff) + 1;
    height = static_cast<int>((bits >> 14) & 0x3fff) + 1;
  } else {
    throw std::invalid_argument("picture \"" + name +
                                "\" is neither a BMP, a GIF nor a WebP image");
  }
  if (width <= 0 || height <= 0) {
    throw std::invalid_argument("picture \"" + name + "\" has no pixels");
  }
  auto data = std::make_shared<PictureData>(PictureData{std::move(name), bytes, width, height});
  return Picture(std::move(data));
}

const std::string& Picture::name() const {
  static const std::string kNone;
  return data_ ? data_->name : kNone;
}

}  // namespace forms
