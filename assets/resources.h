// The resources built into the executable: every picture, sound and font the game shows or plays.
//
// The files under assets/ are turned into byte arrays at build time (see assets/CMakeLists.txt),
// so the game reads no file at run time. A resource is found by its type name and integer id,
// the way the game's sound bank names its WAV files (kSoundType, the ids of assets::Sound).
// Pictures live under kPictureType with the ids of assets::Pic.
//
//   auto wav = assets::find(assets::kSoundType, static_cast<int>(assets::Sound::StartStop));
//   auto fence = assets::picture(assets::Pic::Fence);   // find() is std::nullopt when missing
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace assets {

// The thirteen pictures of the window, by the role they play.
enum class Pic : int {
  Landscape = 1,    // window background, 313 x 222 BMP
  Fence = 2,        // Picture1, 304 x 60 BMP
  TargetWhite = 3,  // Image2 before the first appearance, 36 x 36 BMP
  Figure1 = 4,      // figure set 1 and its hit picture
  Figure1Hit = 5,
  Figure2 = 6,  // figure set 2
  Figure2Hit = 7,
  Figure3 = 8,  // figure set 3
  Figure3Hit = 9,
  Bird = 10,  // bonus item, 10 x 10 GIF89a, transparent around the silhouette
  BirdHit = 11,
  GunSight = 12,  // mouse pointer, 32 x 32 .cur, hotspot (15, 15)
  Icon = 13,      // window icon, 32 x 32 .ico
};

// The eight sounds of the bank, by the moment they are played at. There is no 8.
enum class Sound : int {
  HitPauseLow = 1,   // the pause after a hit ends: one of these two, with equal chance
  HitPauseHigh = 2,  // the other of the two, a little higher
  Fence = 3,         // a shot into the fence's sky or boards, a click on its message
  LevelUp = 4,       // the level goes up, and the game is won
  StartStop = 5,     // START and STOP, also when the game ends on its own
  TenthClick = 6,    // every tenth click on the window up to the eightieth
  Shot = 7,          // every other click on the window, a hit, a shot into the fence's grass
  BirdHit = 9,       // a shot at the bonus bird
};

// The font files every host renders text with: Vombrel Sans, Liberation Sans cut down to
// the letters the game shows (SIL Open Font License, see assets/fonts/LICENSE).
enum class FontFile : int { Regular = 1, Bold = 2, BoldItalic = 3 };

inline constexpr std::string_view kSoundType = "RESTYPE";
inline constexpr std::string_view kPictureType = "PICTURE";
// Not "FONT", which the Windows resource compiler reserves for its own font resources.
inline constexpr std::string_view kFontType = "FONTFILE";

// The bytes of one resource. Sounds are padded with zero bytes to a multiple of 4.
std::optional<std::span<const std::uint8_t>> find(std::string_view type, int id);

// A picture or font that the build guarantees to exist.
std::span<const std::uint8_t> picture(Pic id);
std::span<const std::uint8_t> font(FontFile id);

}  // namespace assets
