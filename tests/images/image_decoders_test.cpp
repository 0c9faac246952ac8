// The GIF and icon/cursor decoders against the game's own pictures, against small hand-made GIFs
// for the parts of LZW and interlacing the game's pictures do not exercise, and against damaged
// input, which must give a reason and never a read outside the bytes (run under ASan).
#include "platform/images/image_decoders.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "assets/resources.h"

namespace {

using platform::images::Decoded;
using platform::images::Image;

struct Pixel {
  int r, g, b, a;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};

std::ostream& operator<<(std::ostream& os, const Pixel& p) {
  return os << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}

Pixel at(const Image& image, int x, int y) {
  const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

int seeThrough(const Image& image) {
  int n = 0;
  for (std::size_t i = 3; i < image.rgba.size(); i += 4) {
    n += image.rgba[i] == 0;
  }
  return n;
}

std::vector<std::uint8_t> bytesOf(assets::Pic id) {
  auto span = assets::picture(id);
  return {span.begin(), span.end()};
}

// Codes of the given bit widths, packed least significant bit first as GIF packs them.
std::vector<std::uint8_t> lzwBits(std::initializer_list<std::pair<int, int>> codes) {
  std::vector<std::uint8_t> out;
  int used = 0;
  for (auto [code, width] : codes) {
    for (int i = 0; i < width; ++i, ++used) {
      if (used % 8 == 0) {
        out.push_back(0);
      }
      out.back() |= static_cast<std::uint8_t>(((code >> i) & 1) << (used % 8));
    }
  }
  return out;
}

// A w x h GIF with a global table of black, red, green and blue (LZW code size 2: clear is 4,
// end is 5, codes start at 3 bits) and the given LZW data in one sub-block.
std::vector<std::uint8_t> gif(int w, int h, bool interlaced, const std::vector<std::uint8_t>& lzw) {
  auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
  std::vector<std::uint8_t> g{'G', 'I', 'F', '8', '9', 'a', u8(w), 0,   u8(h), 0, 0x81, 0,  0,
                              0,   0,   0,   255, 0,   0,   0,     255, 0,     0, 0,    255};
  std::vector<std::uint8_t> image{
      0x2C, 0, 0, 0, 0, u8(w), 0, u8(h), 0, u8(interlaced ? 0x40 : 0), 2, u8(lzw.size())};
  g.insert(g.end(), image.begin(), image.end());
  g.insert(g.end(), lzw.begin(), lzw.end());
  g.push_back(0);
  g.push_back(0x3B);
  return g;
}

constexpr Pixel kBlack{0, 0, 0, 255}, kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255},
    kBlue{0, 0, 255, 255};

TEST(GifDecoder, BirdsAreSilhouettesOnATransparentGround) {
  for (auto id : {assets::Pic::Bird, assets::Pic::BirdHit}) {
    Decoded d = platform::images::decodeGif(assets::picture(id));
    ASSERT_TRUE(d.ok()) << d.error;
    ASSERT_EQ(d.image.width, 10);
    ASSERT_EQ(d.image.height, 10);
    ASSERT_EQ(d.image.rgba.size(), 400u);
    for (auto [x, y] : {std::pair{0, 0}, {9, 0}, {0, 9}, {9, 9}}) {
      EXPECT_EQ(at(d.image, x, y).a, 0) << "corner " << x << ", " << y;
    }
    EXPECT_EQ(at(d.image, 6, 0), kBlack);
  }
  // Counts and colours as other decoders read the same files.
  Decoded bird = platform::images::decodeGif(assets::picture(assets::Pic::Bird));
  EXPECT_EQ(seeThrough(bird.image), 71);
  Decoded hit = platform::images::decodeGif(assets::picture(assets::Pic::BirdHit));
  EXPECT_EQ(seeThrough(hit.image), 49);
  EXPECT_EQ(at(hit.image, 0, 5), (Pixel{255, 128, 160, 255}));
  EXPECT_EQ(at(hit.image, 2, 5), (Pixel{200, 0, 0, 255}));
}

TEST(GifDecoder, ReadsACodeThatIsDefinedByItsOwnUse) {
  // After clear and a literal 1, code 6 is not in the table yet: it is "1" and its first index.
  Decoded d =
      platform::images::decodeGif(gif(3, 1, false, lzwBits({{4, 3}, {1, 3}, {6, 3}, {5, 3}})));
  ASSERT_TRUE(d.ok()) << d.error;
  EXPECT_EQ(at(d.image, 0, 0), kRed);
  EXPECT_EQ(at(d.image, 1, 0), kRed);
  EXPECT_EQ(at(d.image, 2, 0), kRed);
}

TEST(GifDecoder, PutsInterlacedRowsInPlaceAndWidensCodes) {
  // Rows come in the order 0, 2, 1, 3; the table reaches 8 entries after the third code, so
  // the fourth code and the end code take 4 bits.
  Decoded d = platform::images::decodeGif(
      gif(1, 4, true, lzwBits({{4, 3}, {0, 3}, {2, 3}, {1, 3}, {3, 4}, {5, 4}})));
  ASSERT_TRUE(d.ok()) << d.error;
  EXPECT_EQ(at(d.image, 0, 0), kBlack);
  EXPECT_EQ(at(d.image, 0, 1), kRed);
  EXPECT_EQ(at(d.image, 0, 2), kGreen);
  EXPECT_EQ(at(d.image, 0, 3), kBlue);
}

TEST(GifDecoder, DamagedDataIsAnErrorWithItsReason) {
  auto error = [](const std::vector<std::uint8_t>& bytes) {
    Decoded d = platform::images::decodeGif(bytes);
    EXPECT_TRUE(d.image.rgba.empty());
    return d.error;
  };
  EXPECT_NE(error(gif(2, 1, false, lzwBits({{4, 3}, {7, 3}}))).find("undefined code"),
            std::string::npos);
  EXPECT_NE(error(gif(2, 1, false, lzwBits({{4, 3}, {0, 3}, {7, 3}}))).find("out of sequence"),
            std::string::npos);
  EXPECT_NE(error(gif(3, 1, false, lzwBits({{4, 3}, {0, 3}, {5, 3}}))).find("ends before"),
            std::string::npos);
  EXPECT_NE(error(gif(0, 1, false, lzwBits({{4, 3}, {5, 3}}))).find("out of range"),
            std::string::npos);
  EXPECT_EQ(error({'G', 'I', 'F'}), "not a GIF image");

  // Every cut of the bird short of its trailer byte loses part of the image. Each cut is a
  // buffer of its own, so ASan sees any read past it.
  std::vector<std::uint8_t> bird = bytesOf(assets::Pic::Bird);
  for (std::size_t n = 0; n + 1 < bird.size(); ++n) {
    std::vector<std::uint8_t> cut(bird.begin(), bird.begin() + n);
    EXPECT_FALSE(error(cut).empty()) << "cut to " << n << " bytes";
  }
}

TEST(IconDecoder, GunSightHasItsHotspotAndSeeThroughSurround) {
  Decoded d = platform::images::decodeIconOrCursor(assets::picture(assets::Pic::GunSight));
  ASSERT_TRUE(d.ok()) << d.error;
  ASSERT_EQ(d.image.width, 32);
  ASSERT_EQ(d.image.height, 32);
  EXPECT_EQ(d.image.hotspotX, 15);
  EXPECT_EQ(d.image.hotspotY, 15);
  EXPECT_EQ(at(d.image, 0, 0).a, 0);
  EXPECT_EQ(at(d.image, 15, 15), kBlack);
  EXPECT_EQ(at(d.image, 15, 0), kBlack);  // the top of the cross: rows are read bottom-up
  EXPECT_EQ(seeThrough(d.image), 805);
}

TEST(IconDecoder, WindowIconIsOpaqueAndHasNoHotspot) {
  Decoded d = platform::images::decodeIconOrCursor(assets::picture(assets::Pic::Icon));
  ASSERT_TRUE(d.ok()) << d.error;
  ASSERT_EQ(d.image.width, 32);
  ASSERT_EQ(d.image.height, 32);
  EXPECT_EQ(d.image.hotspotX, 0);
  EXPECT_EQ(d.image.hotspotY, 0);
  EXPECT_EQ(at(d.image, 0, 0), kBlack);
  EXPECT_EQ(at(d.image, 16, 16), (Pixel{225, 30, 18, 255}));
  // Each byte holds two pixels, the left one in its high half.
  EXPECT_EQ(at(d.image, 0, 10), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(at(d.image, 1, 10), kBlack);
  EXPECT_EQ(seeThrough(d.image), 0);
}

TEST(IconDecoder, DamagedIconsAreErrorsWithTheirReason) {
  auto error = [](const std::vector<std::uint8_t>& bytes) {
    Decoded d = platform::images::decodeIconOrCursor(bytes);
    EXPECT_TRUE(d.image.rgba.empty());
    return d.error;
  };
  const std::vector<std::uint8_t> cursor = bytesOf(assets::Pic::GunSight);
  for (std::size_t n = 0; n < cursor.size(); ++n) {
    std::vector<std::uint8_t> cut(cursor.begin(), cursor.begin() + n);
    EXPECT_FALSE(error(cut).empty()) << "cut to " << n << " bytes";
  }

  // The bitmap header starts at 22: bit count at +14, colours used at +32.
  std::vector<std::uint8_t> bits16 = cursor;
  bits16[22 + 14] = 16;
  EXPECT_EQ(error(bits16), "icons of 16 bits a pixel are not supported");
  std::vector<std::uint8_t> shortPalette = bytesOf(assets::Pic::Icon);
  shortPalette[22 + 32] = 2;  // the icon paints with all sixteen colours
  EXPECT_NE(error(shortPalette).find("of a palette of 2"), std::string::npos);
  std::vector<std::uint8_t> farImage = cursor;
  farImage[18] = 0xFF;  // the image offset's low byte
  EXPECT_EQ(error(farImage), "the icon's image lies outside the file");
  std::vector<std::uint8_t> png = cursor;
  png[22] = 0x89, png[23] = 'P', png[24] = 'N', png[25] = 'G';
  EXPECT_EQ(error(png), "icons holding a PNG image are not supported");
}

}  // namespace
