// A picture that controls show: an encoded image (BMP or GIF bytes built into the executable;
// the page's own build carries lossless WebP copies instead)
// with its size in pixels. Pictures are shared by assignment, as the game expects: after
// `Image7.Picture = Image6.Picture` both controls show the same picture and Image6 keeps it.
// The runtime never decodes a picture; the host that renders the draw list does.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace forms {

struct PictureData {
  std::string name;  // for diagnostics and tests: "fence", "figure1", ...
  std::span<const std::uint8_t> bytes;
  int width = 0;  // pixels
  int height = 0;
};

class Picture {
 public:
  Picture() = default;
  explicit Picture(std::shared_ptr<const PictureData> data) : data_(std::move(data)) {}

  // Reads the size from a BMP, GIF or lossless WebP header; a picture the runtime cannot size is a
  // programming error in the layout and throws std::invalid_argument with the reason.
  static Picture fromBytes(std::string name, std::span<const std::uint8_t> bytes);

  bool empty() const { return data_ == nullptr; }
  const PictureData* data() const { return data_.get(); }
  int width() const { return data_ ? data_->width : 0; }
  int height() const { return data_ ? data_->height : 0; }
  const std::string& name() const;

  friend bool operator==(const Picture& a, const Picture& b) { return a.data_ == b.data_; }

 private:
  std::shared_ptr<const PictureData> data_;
};

}  // namespace forms
