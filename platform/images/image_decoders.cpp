// GIF and icon/cursor decoding; see image_decoders.h.
#include "platform/images/image_decoders.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

namespace platform::images {

namespace {

// More than any picture of the game by far; it keeps a damaged header from asking for gigabytes.
constexpr std::size_t kMaxPixels = 4096 * 4096;

// Reads little-endian fields in order. Reading past the end yields zeros and marks the reader
// as short, so a decoder checks once after a group of fields instead of before each one.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint32_t u8() { return take(1); }
  std::uint32_t u16() { return take(2); }
  std::uint32_t u32() { return take(4); }
  void skip(std::size_t n) {
    if (n > left()) {
      short_ = true;
      at_ = bytes_.size();
    } else {
      at_ += n;
    }
  }
  std::span<const std::uint8_t> bytes(std::size_t n) {
    if (n > left()) {
      skip(n);
      return {};
    }
    auto part = bytes_.subspan(at_, n);
    at_ += n;
    return part;
  }
  bool isShort() const { return short_; }

 private:
  std::size_t left() const { return bytes_.size() - at_; }
  std::uint32_t take(std::size_t n) {
    if (n > left()) {
      skip(n);
      return 0;
    }
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
      v |= static_cast<std::uint32_t>(bytes_[at_ + i]) << (8 * i);
    }
    at_ += n;
    return v;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool short_ = false;
};

Decoded failure(std::string reason) {
  return {{}, std::move(reason)};
}

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view magic) {
  return bytes.size() >= magic.size() &&
         std::equal(magic.begin(), magic.end(), bytes.begin(),
                    [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
}

bool sizeInRange(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && static_cast<std::size_t>(width * height) <= kMaxPixels;
}

std::string sizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

Image blankImage(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.assign(static_cast<std::size_t>(width) * height * 4, 0);
  return image;
}

void put(Image& image, int x, int y, Rgb c, std::uint8_t alpha) {
  std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 4;
  image.rgba[at] = c.r;
  image.rgba[at + 1] = c.g;
  image.rgba[at + 2] = c.b;
  image.rgba[at + 3] = alpha;
}

// ---- GIF ----

std::vector<Rgb> gifColourTable(Reader& in, std::uint32_t sizeBits) {
  std::vector<Rgb> table(std::size_t{2} << sizeBits);
  for (Rgb& c : table) {
    c.r = static_cast<std::uint8_t>(in.u8());
    c.g = static_cast<std::uint8_t>(in.u8());
    c.b = static_cast<std::uint8_t>(in.u8());
  }
  return table;
}

// A GIF block's payload is a chain of sub-blocks, each led by its length, ended by an empty one.
std::vector<std::uint8_t> gifSubBlocks(Reader& in) {
  std::vector<std::uint8_t> data;
  for (std::uint32_t n = in.u8(); n != 0 && !in.isShort(); n = in.u8()) {
    auto part = in.bytes(n);
    data.insert(data.end(), part.begin(), part.end());
  }
  return data;
}

// Variable-length LZW as GIF uses it: codes of 3 to 12 bits, least significant bit first, a
// clear code that resets the table and an end code. Gives exactly `count` colour indices, or
// the reason it cannot.
std::string gifLzw(std::span<const std::uint8_t> data, std::uint32_t minCodeSize, std::size_t count,
                   std::vector<std::uint8_t>& out) {
  if (minCodeSize < 2 || minCodeSize > 11) {
    return "the GIF's LZW code size " + std::to_string(minCodeSize) + " is invalid";
  }
  constexpr int kTableSize = 4096;
  const int clear = 1 << minCodeSize, end = clear + 1;
  // Each code stands for its prefix code's string followed by one more index.
  std::array<std::uint16_t, kTableSize> prefix{};
  std::array<std::uint8_t, kTableSize> suffix{};
  for (int i = 0; i < clear; ++i) {
    suffix[i] = static_cast<std::uint8_t>(i);
  }
  std::vector<std::uint8_t> string;  // one code's indices, last first
  int codeSize = minCodeSize + 1, next = end + 1, previous = -1;
  std::uint32_t bits = 0;
  int bitCount = 0;
  std::size_t at = 0;
  out.clear();
  out.reserve(count);
  while (out.size() < count) {
    while (bitCount < codeSize) {
      if (at == data.size()) {
        return "the GIF's image data ends before the image is complete";
      }
      bits |= static_cast<std::uint32_t>(data[at++]) << bitCount;
      bitCount += 8;
    }
    int code = static_cast<int>(bits & ((1u << codeSize) - 1));
    bits >>= codeSize;
    bitCount -= codeSize;
    if (code == clear) {
      codeSize = minCodeSize + 1;
      next = end + 1;
      previous = -1;
      continue;
    }
    if (code == end) {
      break;
    }
    if (previous < 0) {
      if (code > clear) {
        return "the GIF's image data is corrupt (it starts with an undefined code)";
      }
      out.push_back(static_cast<std::uint8_t>(code));
      previous = code;
      continue;
    }
    // A code one past the table is the previous string plus its own first index.
    if (code > next) {
      return "the GIF's image data is corrupt (an LZW code out of sequence)";
    }
    string.clear();
    for (int c = code == next ? previous : code;; c = prefix[c]) {
      string.push_back(suffix[c]);
      if (c < clear) {
        break;
      }
    }
    std::uint8_t first = string.back();
    out.insert(out.end(), string.rbegin(), string.rend());
    if (code == next) {
      out.push_back(first);
    }
    // A full table stays as it is until the next clear code.
    if (next < kTableSize) {
      prefix[next] = static_cast<std::uint16_t>(previous);
      suffix[next] = first;
      ++next;
      if (next == (1 << codeSize) && codeSize < 12) {
        ++codeSize;
      }
    }
    previous = code;
  }
  if (out.size() < count) {
    return "the GIF's image data ends before the image is complete";
  }
  out.resize(count);
  return {};
}

// The order an interlaced image sends its rows in: every 8th from 0, every 8th from 4, every
// 4th from 2, every 2nd from 1.
std::vector<int> gifRowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(height);
  if (!interlaced) {
    for (int y = 0; y < height; ++y) {
      rows.push_back(y);
    }
    return rows;
  }
  constexpr std::array<std::pair<int, int>, 4> kPasses{{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
  for (auto [start, step] : kPasses) {
    for (int y = start; y < height; y += step) {
      rows.push_back(y);
    }
  }
  return rows;
}

// ---- icons and cursors ----

// The palette index of pixel x in one row of a 4-bit BMP; the high nibble is the left pixel.
std::uint32_t nibble(std::span<const std::uint8_t> row, int x) {
  return (row[static_cast<std::size_t>(x) / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xF;
}

}  // namespace

Decoded decodeGif(std::span<const std::uint8_t> bytes) {
  if (!startsWith(bytes, "GIF87a") && !startsWith(bytes, "GIF89a")) {
    return failure("not a GIF image");
  }
  Reader in(bytes);
  in.skip(6);
  auto width = static_cast<int>(in.u16()), height = static_cast<int>(in.u16());
  std::uint32_t screenFlags = in.u8();
  in.skip(2);  // background colour, aspect ratio
  if (in.isShort()) {
    return failure("the GIF's header is cut short");
  }
  if (!sizeInRange(width, height)) {
    return failure("the GIF's size of " + sizeText(width, height) + " pixels is out of range");
  }
  std::vector<Rgb> globalTable;
  if (screenFlags & 0x80) {
    globalTable = gifColourTable(in, screenFlags & 7);
  }

  int transparent = -1;
  for (;;) {
    std::uint32_t block = in.u8();
    if (in.isShort()) {
      return failure("the GIF ends before its image");
    }
    if (block == 0x3B) {
      return failure("the GIF holds no image");
    }
    if (block == 0x21) {
      std::uint32_t label = in.u8();
      std::vector<std::uint8_t> ext = gifSubBlocks(in);
      // Graphic control: flags, delay (2 bytes), transparent index.
      if (label == 0xF9 && ext.size() >= 4 && (ext[0] & 1)) {
        transparent = ext[3];
      }
      continue;
    }
    if (block != 0x2C) {
      return failure("the GIF has a block of unknown kind " + std::to_string(block));
    }

    auto left = static_cast<int>(in.u16()), top = static_cast<int>(in.u16());
    auto w = static_cast<int>(in.u16()), h = static_cast<int>(in.u16());
    std::uint32_t flags = in.u8();
    std::vector<Rgb> table = (flags & 0x80) ? gifColourTable(in, flags & 7) : globalTable;
    std::uint32_t minCodeSize = in.u8();
    std::vector<std::uint8_t> data = gifSubBlocks(in);
    if (in.isShort()) {
      return failure("the GIF's image is cut short");
    }
    if (!sizeInRange(w, h)) {
      return failure("the GIF's image of " + sizeText(w, h) + " pixels is out of range");
    }
    if (table.empty()) {
      return failure("the GIF's image has no colour table");
    }
    std::vector<std::uint8_t> indices;
    if (std::string error = gifLzw(data, minCodeSize, static_cast<std::size_t>(w) * h, indices);
        !error.empty()) {
      return failure(error);
    }

    Decoded result;
    result.image = blankImage(width, height);
    std::vector<int> rows = gifRowOrder(h, (flags & 0x40) != 0);
    for (int i = 0; i < h; ++i) {
      for (int x = 0; x < w; ++x) {
        std::uint8_t index = indices[static_cast<std::size_t>(i) * w + x];
        if (index >= table.size()) {
          return failure("the GIF's image uses colour " + std::to_string(index) +
                         " of a table of " + std::to_string(table.size()));
        }
        int sx = left + x, sy = top + rows[i];
        if (index != transparent && sx < width && sy < height) {
          put(result.image, sx, sy, table[index], 255);
        }
      }
    }
    return result;
  }
}

Decoded decodeIconOrCursor(std::span<const std::uint8_t> bytes) {
  Reader dir(bytes);
  std::uint32_t reserved = dir.u16(), type = dir.u16(), count = dir.u16();
  if (dir.isShort() || reserved != 0 || (type != 1 && type != 2)) {
    return failure("not an icon or cursor");
  }
  if (count == 0) {
    return failure("the icon holds no image");
  }
  // The first entry: width, height, colours, reserved, then two fields that are the colour
  // planes and bits of an icon but the hotspot of a cursor, then where the image lies.
  dir.skip(4);
  std::uint32_t hotX = dir.u16(), hotY = dir.u16();
  std::uint32_t length = dir.u32(), offset = dir.u32();
  if (dir.isShort()) {
    return failure("the icon's directory is cut short");
  }
  if (offset > bytes.size() || length > bytes.size() - offset) {
    return failure("the icon's image lies outside the file");
  }
  auto bmp = bytes.subspan(offset, length);
  if (startsWith(bmp, "\x89PNG")) {
    return failure("icons holding a PNG image are not supported");
  }

  Reader header(bmp);
  std::uint32_t headerSize = header.u32();
  auto width = static_cast<std::int32_t>(header.u32());
  auto doubleHeight = static_cast<std::int32_t>(header.u32());  // the colours, then the mask
  header.skip(2);                                               // planes
  std::uint32_t bitCount = header.u16(), compression = header.u32();
  header.skip(12);  // image size, resolution
  std::uint32_t coloursUsed = header.u32();
  if (header.isShort() || headerSize < 40) {
    return failure("the icon's bitmap header is cut short");
  }
  if (compression != 0) {
    return failure("compressed icon bitmaps are not supported");
  }
  // The game's icon and cursor are drawn in the sixteen colours of the desktops it was made for.
  if (bitCount != 4) {
    return failure("icons of " + std::to_string(bitCount) + " bits a pixel are not supported");
  }
  std::int32_t height = doubleHeight / 2;
  if (width > 256 || height > 256 || !sizeInRange(width, height)) {
    return failure("the icon's size of " + sizeText(width, height) + " pixels is out of range");
  }

  std::uint32_t entries = coloursUsed != 0 ? coloursUsed : 16;
  if (entries > 16) {
    return failure("the icon's palette of " + std::to_string(entries) + " colours is too big");
  }
  Reader colours(bmp);
  colours.skip(headerSize);
  std::vector<Rgb> palette(entries);
  for (Rgb& c : palette) {
    c.b = static_cast<std::uint8_t>(colours.u8());
    c.g = static_cast<std::uint8_t>(colours.u8());
    c.r = static_cast<std::uint8_t>(colours.u8());
    colours.skip(1);
  }
  if (colours.isShort()) {
    return failure("the icon's palette is cut short");
  }
  // Rows are bottom-up and padded to whole 32-bit words; the 1-bit AND mask follows the colours.
  std::size_t colourStride = (static_cast<std::size_t>(width) * 4 + 31) / 32 * 4;
  std::size_t maskStride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
  std::size_t pixelsAt = headerSize + palette.size() * 4;
  std::size_t needed = pixelsAt + (colourStride + maskStride) * height;
  if (pixelsAt > bmp.size() || bmp.size() < needed) {
    return failure("the icon's pixels are cut short");
  }

  Decoded result;
  result.image = blankImage(width, height);
  if (type == 2) {
    result.image.hotspotX = static_cast<int>(hotX);
    result.image.hotspotY = static_cast<int>(hotY);
  }
  auto maskAt = pixelsAt + colourStride * height;
  for (int y = 0; y < height; ++y) {
    std::size_t fromBottom = height - 1 - y;
    auto row = bmp.subspan(pixelsAt + fromBottom * colourStride, colourStride);
    auto mask = bmp.subspan(maskAt + fromBottom * maskStride, maskStride);
    for (int x = 0; x < width; ++x) {
      std::uint32_t index = nibble(row, x);
      if (index >= palette.size()) {
        return failure("the icon uses colour " + std::to_string(index) + " of a palette of " +
                       std::to_string(palette.size()));
      }
      // A set mask bit lets the screen show through (Windows inverts it where the colour is not
      // black; nothing else can, so those pixels are see-through too).
      bool screen = (mask[x / 8] >> (7 - x % 8)) & 1;
      put(result.image, x, y, palette[index], screen ? 0 : 255);
    }
  }
  return result;
}

}  // namespace platform::images
