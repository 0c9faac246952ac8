// GDI drawing of the draw list and the embedded fonts; see win32_painter.h.
#include "platform/win32/win32_painter.h"

#include <windows.h>
#undef DrawText

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/resources.h"
#include "platform/desktop/wide_text.h"
#include "platform/images/image_decoders.h"

namespace platform::win32 {

using desktop::widen;

namespace {

constexpr std::uint64_t kNeverUploaded = ~std::uint64_t{0};

COLORREF colorOf(forms::Rgb c) {
  return RGB(c.r, c.g, c.b);
}

// A top-down 32-bit DIB section; its pixels are 0xAARRGGBB as GDI and AlphaBlend read them.
HBITMAP newBitmap(int width, int height, void** pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, pixels, nullptr, 0);
}

std::uint32_t premultiplied(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  auto mul = [a](std::uint8_t v) { return static_cast<std::uint32_t>(v * a / 255); };
  return (static_cast<std::uint32_t>(a) << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

}  // namespace

Fonts::Fonts() : measuring_(CreateCompatibleDC(nullptr)) {
  const assets::FontFile files[] = {assets::FontFile::Regular, assets::FontFile::Bold,
                                    assets::FontFile::BoldItalic};
  for (int i = 0; i < 3; ++i) {
    auto bytes = assets::font(files[i]);
    DWORD installed = 0;
    added_[i] = AddFontMemResourceEx(const_cast<std::uint8_t*>(bytes.data()),
                                     static_cast<DWORD>(bytes.size()), nullptr, &installed);
  }
}

Fonts::~Fonts() {
  for (auto& [key, face] : faces_) {
    if (face != nullptr) {
      DeleteObject(face);
    }
  }
  for (void* added : added_) {
    if (added != nullptr) {
      RemoveFontMemResourceEx(added);
    }
  }
  if (measuring_ != nullptr) {
    DeleteDC(measuring_);
  }
}

HFONT Fonts::face(const forms::Font& font) {
  auto key = std::make_tuple(font.pixelSize, font.bold, font.italic);
  if (auto it = faces_.find(key); it != faces_.end()) {
    return it->second;
  }
  // A negative height asks for the em, not the cell: 11 px is the 8.25 pt of the layout at
  // 96 dpi, as on Linux. Grey smoothing, as the other hosts draw their text.
  HFONT made = CreateFontW(-font.pixelSize, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
                           font.italic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_TT_ONLY_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, L"Vombrel Sans");
  faces_.emplace(key, made);
  return made;
}

forms::TextExtent Fonts::measure(const forms::Font& font, std::string_view utf8) {
  HFONT f = face(font);
  if (f == nullptr || measuring_ == nullptr) {
    return {};
  }
  HGDIOBJ old = SelectObject(measuring_, f);
  TEXTMETRICW metrics{};
  GetTextMetricsW(measuring_, &metrics);
  SIZE size{};
  std::wstring text = widen(utf8);
  if (!text.empty()) {
    GetTextExtentPoint32W(measuring_, text.c_str(), static_cast<int>(text.size()), &size);
  }
  SelectObject(measuring_, old);
  return {static_cast<int>(size.cx), static_cast<int>(metrics.tmHeight)};
}

Painter::Painter(int width, int height, int factor, Fonts& fonts)
    : fonts_(fonts), k_(std::max(factor, 1)) {
  void* pixels = nullptr;
  buffer_ = newBitmap(width * k_, height * k_, &pixels);
  dc_ = CreateCompatibleDC(nullptr);
  if (buffer_ == nullptr || dc_ == nullptr) {
    return;
  }
  original_ = static_cast<HBITMAP>(SelectObject(dc_, buffer_));
  // White, the window's background colour, until the first frame paints over it.
  std::fill_n(static_cast<std::uint32_t*>(pixels),
              static_cast<std::size_t>(width) * height * k_ * k_, 0xFFFFFFFFu);
  SetBkMode(dc_, TRANSPARENT);
  SetStretchBltMode(dc_, COLORONCOLOR);
}

Painter::~Painter() {
  for (auto& [key, s] : sprites_) {
    DeleteDC(s.dc);
    DeleteObject(s.bitmap);
  }
  if (dc_ != nullptr) {
    SelectObject(dc_, original_);
    DeleteDC(dc_);
  }
  if (buffer_ != nullptr) {
    DeleteObject(buffer_);
  }
}

void Painter::end() {
  SelectClipRgn(dc_, nullptr);
  GdiFlush();
}

void Painter::setClip(const forms::PixelRect& r) {
  SelectClipRgn(dc_, nullptr);
  IntersectClipRect(dc_, r.x * k_, r.y * k_, (r.x + r.w) * k_, (r.y + r.h) * k_);
}

void Painter::fill(const forms::PixelRect& r, forms::Rgb color) {
  RECT rect{r.x * k_, r.y * k_, (r.x + r.w) * k_, (r.y + r.h) * k_};
  SetDCBrushColor(dc_, colorOf(color));
  FillRect(dc_, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

Painter::Sprite* Painter::sprite(const void* key, int width, int height) {
  auto it = sprites_.find(key);
  if (it != sprites_.end() && (it->second.width != width || it->second.height != height)) {
    DeleteDC(it->second.dc);
    DeleteObject(it->second.bitmap);
    sprites_.erase(it);
    it = sprites_.end();
  }
  if (it == sprites_.end()) {
    Sprite s;
    void* pixels = nullptr;
    s.bitmap = newBitmap(width * k_, height * k_, &pixels);
    s.dc = CreateCompatibleDC(nullptr);
    if (s.bitmap == nullptr || s.dc == nullptr) {
      DeleteDC(s.dc);
      DeleteObject(s.bitmap);
      return nullptr;
    }
    SelectObject(s.dc, s.bitmap);
    s.pixels = static_cast<std::uint32_t*>(pixels);
    s.width = width;
    s.height = height;
    s.stamp = kNeverUploaded;
    it = sprites_.emplace(key, s).first;
  }
  return &it->second;
}

// Each pixel of the picture as a square of factor x factor buffer pixels: nearest neighbour, so
// that a picture stays as crisp as it was drawn.
void Painter::put(Sprite& s, int x, int y, std::uint32_t pixel) const {
  std::uint32_t* row = s.pixels + (static_cast<std::size_t>(y) * s.width * k_ + x) * k_;
  for (int dy = 0; dy < k_; ++dy, row += static_cast<std::size_t>(s.width) * k_) {
    std::fill_n(row, k_, pixel);
  }
}

void Painter::blend(const Sprite& s, int x, int y) {
  GdiFlush();
  BLENDFUNCTION over{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  int w = s.width * k_, h = s.height * k_;
  AlphaBlend(dc_, x * k_, y * k_, w, h, s.dc, 0, 0, w, h, over);
}

void Painter::draw(const forms::DrawPicture& c) {
  const forms::PictureData* data = c.picture.data();
  if (data == nullptr ||
      !clipTo(forms::PixelRect{c.x, c.y, data->width, data->height}.intersect(c.clip))) {
    return;
  }
  std::span<const std::uint8_t> bytes = data->bytes;
  if (bytes.size() > sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) && bytes[0] == 'B' &&
      bytes[1] == 'M') {
    // The file's own headers and pixels, read where they lie in the program's image.
    BITMAPFILEHEADER file;
    BITMAPINFO info{};
    std::memcpy(&file, bytes.data(), sizeof file);
    std::memcpy(&info.bmiHeader, bytes.data() + sizeof file, sizeof(BITMAPINFOHEADER));
    if (file.bfOffBits >= bytes.size()) {
      return;
    }
    int w = info.bmiHeader.biWidth, h = std::abs(info.bmiHeader.biHeight);
    StretchDIBits(dc_, c.x * k_, c.y * k_, w * k_, h * k_, 0, 0, w, h,
                  bytes.data() + file.bfOffBits, &info, DIB_RGB_COLORS, SRCCOPY);
    return;
  }
  Sprite* s = sprite(bytes.data(), data->width, data->height);
  if (s == nullptr) {
    return;
  }
  if (s->stamp == kNeverUploaded) {
    bool gif = bytes.size() >= 3 && bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F';
    images::Decoded d = gif ? images::decodeGif(bytes) : images::decodeIconOrCursor(bytes);
    if (d.ok() && d.image.width == s->width && d.image.height == s->height) {
      for (int y = 0; y < s->height; ++y) {
        for (int x = 0; x < s->width; ++x) {
          const std::uint8_t* p = &d.image.rgba[(static_cast<std::size_t>(y) * s->width + x) * 4];
          put(*s, x, y, premultiplied(p[0], p[1], p[2], p[3]));
        }
      }
    } else {
      OutputDebugStringA(("vombrel: cannot decode picture " + data->name + "\n").c_str());
    }
    s->stamp = 0;
  }
  blend(*s, c.x, c.y);
}

void Painter::draw(const forms::DrawTextRun& c) {
  if (c.text.empty() || !clipTo(c.clip)) {
    return;
  }
  // The letters are made at the scene's size, not enlarged from small ones.
  forms::Font big = c.font;
  big.pixelSize *= k_;
  HFONT face = fonts_.face(big);
  if (face == nullptr) {
    return;
  }
  auto width = [&](std::string_view line) { return fonts_.measure(big, line).width; };
  int lineHeight = fonts_.measure(big, {}).height;
  HGDIOBJ old = SelectObject(dc_, face);
  SetTextColor(dc_, colorOf(c.color));
  int y = c.box.y * k_;
  for (const std::string& line : textLines(c, width, k_)) {
    std::wstring wide = widen(line);
    TextOutW(dc_, alignedX(c, width(line), k_), y, wide.c_str(), static_cast<int>(wide.size()));
    y += lineHeight;
  }
  SelectObject(dc_, old);
}

void Painter::draw(const forms::DrawMarks& c) {
  const forms::MarksLayer* layer = c.layer;
  if (layer == nullptr || layer->width() <= 0 || layer->height() <= 0 || layer->blank() ||
      !clipTo(forms::PixelRect{c.x, c.y, layer->width(), layer->height()}.intersect(c.clip))) {
    return;
  }
  Sprite* s = sprite(layer, layer->width(), layer->height());
  if (s == nullptr) {
    return;
  }
  if (s->stamp != layer->version()) {
    const auto& pixels = layer->pixels();
    for (int y = 0; y < s->height; ++y) {
      for (int x = 0; x < s->width; ++x) {
        std::uint32_t p = pixels[static_cast<std::size_t>(y) * s->width + x];
        put(*s, x, y, premultiplied((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF, p >> 24));
      }
    }
    s->stamp = layer->version();
  }
  blend(*s, c.x, c.y);
}

}  // namespace platform::win32
