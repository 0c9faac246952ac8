// Checks the resources built into the executable: the sound bank's WAV images byte by byte and
// their levels (no true peak above -1 dBTP, no click at the start), the pictures' formats and
// the few pixels the game relies on (figures on sky blue, the see-through hole, the gun sight's
// hotspot), and the fonts.
#include "assets/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::span<const std::uint8_t>;

unsigned u16(Bytes b, std::size_t at) {
  return b[at] | b[at + 1] << 8;
}

std::uint32_t u32(Bytes b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::string text(Bytes b, std::size_t at, std::size_t length) {
  return std::string(reinterpret_cast<const char*>(b.data() + at), length);
}

struct Rgb {
  int r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

void PrintTo(const Rgb& c, std::ostream* os) {
  *os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

// A pixel of an uncompressed 24-bit bottom-up BMP, y counted from the top.
Rgb bmpPixel(Bytes bmp, int x, int y) {
  const int width = static_cast<int>(u32(bmp, 18));
  const int height = static_cast<int>(u32(bmp, 22));
  const int stride = (width * 3 + 3) & ~3;
  const std::size_t at = u32(bmp, 10) + (height - 1 - y) * stride + x * 3;
  return {bmp[at + 2], bmp[at + 1], bmp[at]};
}

constexpr Rgb kSky{127, 216, 255};
constexpr Rgb kFigureBack{127, 223, 255};

struct Sound {
  int id;
  std::uint32_t samples;
  std::size_t resourceSize;
};

constexpr std::array<Sound, 8> kSounds{{{1, 3090, 3136},
                                        {2, 2900, 2944},
                                        {3, 5244, 5288},
                                        {4, 7010, 7056},
                                        {5, 8852, 8896},
                                        {6, 5762, 5808},
                                        {7, 13400, 13444},
                                        {9, 16610, 16656}}};

TEST(SoundBank, EverySoundIsAPaddedEightBitMonoWavImage) {
  for (const Sound& s : kSounds) {
    SCOPED_TRACE("sound " + std::to_string(s.id));
    const auto found = assets::find(assets::kSoundType, s.id);
    ASSERT_TRUE(found.has_value());
    const Bytes wav = *found;
    ASSERT_EQ(wav.size(), s.resourceSize);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(wav.data()) % 4, 0u);

    const std::uint32_t fileLength = 44 + s.samples;
    EXPECT_EQ(text(wav, 0, 4), "RIFF");
    EXPECT_EQ(u32(wav, 4), fileLength);  // the whole file's length, not length - 8
    EXPECT_EQ(text(wav, 8, 4), "WAVE");
    EXPECT_EQ(text(wav, 12, 4), "fmt ");
    EXPECT_EQ(u32(wav, 16), 16u);
    EXPECT_EQ(u16(wav, 20), 1u);      // PCM
    EXPECT_EQ(u16(wav, 22), 1u);      // mono
    EXPECT_EQ(u32(wav, 24), 11025u);  // samples per second
    EXPECT_EQ(u32(wav, 28), 11025u);  // bytes per second
    EXPECT_EQ(u16(wav, 32), 1u);      // block align
    EXPECT_EQ(u16(wav, 34), 8u);      // bits per sample
    EXPECT_EQ(text(wav, 36, 4), "data");
    EXPECT_EQ(u32(wav, 40), s.samples);
    for (std::size_t i = fileLength; i < wav.size(); ++i) {
      EXPECT_EQ(wav[i], 0) << "padding byte " << i;
    }

    // Not silence: the samples swing well away from the 8-bit midpoint.
    int lowest = 255, highest = 0;
    for (std::size_t i = 44; i < fileLength; ++i) {
      lowest = std::min<int>(lowest, wav[i]);
      highest = std::max<int>(highest, wav[i]);
    }
    EXPECT_GT(highest - lowest, 128);
  }
}

// Level of the sounds. Full scale is 128 steps either side of the 8-bit midpoint.

using Complex = std::complex<double>;

// In-place radix-2 FFT; values.size() is a power of two. No scaling either way.
void fft(std::vector<Complex>& values, bool inverse) {
  const std::size_t n = values.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) {
      j ^= bit;
    }
    j |= bit;
    if (i < j) {
      std::swap(values[i], values[j]);
    }
  }
  const double sign = inverse ? 1.0 : -1.0;
  std::vector<Complex> turns(n / 2);
  for (std::size_t k = 0; k < n / 2; ++k) {
    turns[k] = std::polar(1.0, sign * 2 * std::numbers::pi * static_cast<double>(k) / n);
  }
  for (std::size_t size = 2; size <= n; size *= 2) {
    const std::size_t half = size / 2, stride = n / size;
    for (std::size_t start = 0; start < n; start += size) {
      for (std::size_t k = 0; k < half; ++k) {
        const Complex u = values[start + k];
        const Complex v = values[start + k + half] * turns[k * stride];
        values[start + k] = u + v;
        values[start + k + half] = u - v;
      }
    }
  }
}

// The true peak of a waveform given by its samples (full scale 1): the highest level of the
// band-limited waveform through them, found by 8x oversampling (the spectrum zero-padded).
// The samples are followed by at least 256 samples of silence, so that the end does not run
// into the start around the circle and a sound that starts or stops abruptly shows the
// overshoot it has in a player.
double truePeak(const std::vector<double>& samples) {
  constexpr std::size_t kFactor = 8;
  std::size_t n = 1;
  while (n < samples.size() + 256) {
    n *= 2;
  }
  std::vector<Complex> spectrum(n);
  std::copy(samples.begin(), samples.end(), spectrum.begin());
  fft(spectrum, false);
  std::vector<Complex> wide(n * kFactor);
  const std::size_t half = n / 2;
  for (std::size_t k = 0; k < half; ++k) {
    wide[k] = spectrum[k];
  }
  for (std::size_t k = half + 1; k < n; ++k) {
    wide[wide.size() - n + k] = spectrum[k];
  }
  wide[half] = wide[wide.size() - half] = spectrum[half] / 2.0;  // Nyquist, split between both
  fft(wide, true);
  double peak = 0;
  for (const Complex& v : wide) {
    peak = std::max(peak, std::abs(v.real()) / static_cast<double>(n));
  }
  return peak;
}

double decibels(double level) {
  return 20 * std::log10(level);
}

std::vector<double> soundSamples(const Sound& s) {
  const Bytes wav = *assets::find(assets::kSoundType, s.id);
  std::vector<double> out;
  for (std::size_t i = 44; i < 44 + s.samples; ++i) {
    out.push_back((wav[i] - 128) / 128.0);
  }
  return out;
}

TEST(SoundBank, TruePeakMeasureFindsThePeaksBetweenTheSamples) {
  // A tone at a quarter of the sample rate, sampled 45 degrees off its crests: every sample is
  // at 0.707, the waveform through them reaches 1. Under a slow Hann swell, so that its start
  // and end add nothing.
  constexpr int kLength = 4096;
  std::vector<double> quarter, slow;
  for (int i = 0; i < kLength; ++i) {
    const double swell = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / kLength);
    quarter.push_back(swell * std::sin(std::numbers::pi / 2 * i + std::numbers::pi / 4));
    slow.push_back(0.5 * swell * std::sin(2 * std::numbers::pi * 100.0 / 11025 * i));
  }
  const double samplePeak = std::ranges::max(quarter, {}, [](double v) { return std::abs(v); });
  EXPECT_NEAR(samplePeak, 0.7071, 0.001);
  EXPECT_NEAR(truePeak(quarter), 1.0, 0.001);
  EXPECT_NEAR(truePeak(slow), 0.5, 0.001);  // a low tone peaks at its samples

  // A sound that starts at full level overshoots at its first sample (the click).
  std::vector<double> step(1000, 0.9);
  EXPECT_GT(truePeak(step), 1.0);
}

TEST(SoundBank, NoSoundGoesAboveMinusOneDecibelTruePeak) {
  for (const Sound& s : kSounds) {
    SCOPED_TRACE("sound " + std::to_string(s.id));
    ASSERT_TRUE(assets::find(assets::kSoundType, s.id).has_value());
    const double peak = truePeak(soundSamples(s));
    EXPECT_LE(decibels(peak), -1.0) << "true peak " << decibels(peak) << " dBTP";
    // Not by being made quiet: the sound still comes within 3 dB of the limit.
    EXPECT_GT(decibels(peak), -4.0) << "true peak " << decibels(peak) << " dBTP";
  }
}

TEST(SoundBank, EverySoundStartsNearSilence) {
  for (const Sound& s : kSounds) {
    SCOPED_TRACE("sound " + std::to_string(s.id));
    ASSERT_TRUE(assets::find(assets::kSoundType, s.id).has_value());
    const double first = soundSamples(s).front();
    EXPECT_LE(std::abs(first), 0.1) << "first sample at " << first * 100 << " % of full scale";
  }
}

TEST(SoundBank, OnlyTheBankIdsUnderTheirOwnTypeAreFound) {
  EXPECT_FALSE(assets::find(assets::kSoundType, 8).has_value());
  EXPECT_FALSE(assets::find(assets::kSoundType, 0).has_value());
  EXPECT_FALSE(assets::find(assets::kSoundType, 10).has_value());
  EXPECT_FALSE(assets::find("WAVE", 1).has_value());
  EXPECT_FALSE(assets::find("", 1).has_value());
  EXPECT_FALSE(assets::find(assets::kPictureType, 14).has_value());
  EXPECT_TRUE(assets::find(assets::kPictureType, 1).has_value());
}

struct Bitmap {
  assets::Pic id;
  int width, height;
};

TEST(Pictures, BitmapsAreUncompressed24BitBottomUp) {
  using assets::Pic;
  const Bitmap bitmaps[] = {
      {Pic::Landscape, 313, 222}, {Pic::Fence, 304, 60},     {Pic::TargetWhite, 36, 36},
      {Pic::Figure1, 36, 36},     {Pic::Figure1Hit, 36, 36}, {Pic::Figure2, 36, 36},
      {Pic::Figure2Hit, 36, 36},  {Pic::Figure3, 36, 36},    {Pic::Figure3Hit, 36, 36}};
  for (const Bitmap& b : bitmaps) {
    SCOPED_TRACE("picture " + std::to_string(static_cast<int>(b.id)));
    const Bytes bmp = assets::picture(b.id);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(text(bmp, 0, 2), "BM");
    EXPECT_EQ(u32(bmp, 2), bmp.size());
    EXPECT_EQ(u32(bmp, 14), 40u);
    EXPECT_EQ(static_cast<int>(u32(bmp, 18)), b.width);
    EXPECT_EQ(static_cast<int>(u32(bmp, 22)), b.height);  // positive: bottom-up
    EXPECT_EQ(u16(bmp, 26), 1u);
    EXPECT_EQ(u16(bmp, 28), 24u);
    EXPECT_EQ(u32(bmp, 30), 0u);  // uncompressed
    const std::size_t stride = (b.width * 3 + 3) & ~3;
    EXPECT_EQ(bmp.size(), u32(bmp, 10) + stride * b.height);
  }
}

TEST(Pictures, SkyAndFigureBackgroundsAreTheExactBlues) {
  using assets::Pic;
  const Bytes landscape = assets::picture(Pic::Landscape);
  for (int y = 52; y < 160; ++y) {
    for (int x = 0; x < 313; ++x) {
      ASSERT_EQ(bmpPixel(landscape, x, y), kSky) << "landscape pixel " << x << "," << y;
    }
  }
  EXPECT_NE(bmpPixel(landscape, 150, 160), kSky);  // the grass starts at row 160
  EXPECT_NE(bmpPixel(landscape, 150, 221), kSky);

  // Every figure stands on an opaque square of sky blue; the set-3 hit uses the sky itself.
  for (Pic id : {Pic::Figure1, Pic::Figure1Hit, Pic::Figure2, Pic::Figure2Hit, Pic::Figure3}) {
    SCOPED_TRACE("picture " + std::to_string(static_cast<int>(id)));
    EXPECT_EQ(bmpPixel(assets::picture(id), 0, 0), kFigureBack);
    EXPECT_EQ(bmpPixel(assets::picture(id), 35, 0), kFigureBack);
  }
  EXPECT_EQ(bmpPixel(assets::picture(Pic::Figure3Hit), 0, 0), kSky);
  EXPECT_EQ(bmpPixel(assets::picture(Pic::TargetWhite), 0, 0), (Rgb{255, 255, 255}));

  // The set-2 hit has a hole through the middle where the sky shows; the face has none.
  EXPECT_EQ(bmpPixel(assets::picture(Pic::Figure2Hit), 18, 18), kFigureBack);
  EXPECT_NE(bmpPixel(assets::picture(Pic::Figure2), 18, 18), kFigureBack);
}

TEST(Pictures, BirdsAreGif89aWithOnlyALocalTableAndATransparentIndex) {
  struct Gif {
    assets::Pic id;
    unsigned colours;
    unsigned transparent;
  };
  for (const Gif g : {Gif{assets::Pic::Bird, 2, 1}, Gif{assets::Pic::BirdHit, 16, 8}}) {
    SCOPED_TRACE("picture " + std::to_string(static_cast<int>(g.id)));
    const Bytes gif = assets::picture(g.id);
    ASSERT_GE(gif.size(), 32u);
    EXPECT_EQ(text(gif, 0, 6), "GIF89a");
    EXPECT_EQ(u16(gif, 6), 10u);
    EXPECT_EQ(u16(gif, 8), 10u);
    EXPECT_EQ(gif[10] & 0x80, 0) << "no global colour table";
    // Graphic control extension with the transparent flag, right after the screen descriptor.
    EXPECT_EQ(gif[13], 0x21);
    EXPECT_EQ(gif[14], 0xF9);
    EXPECT_EQ(gif[15], 4);
    EXPECT_EQ(gif[16] & 0x01, 1);
    EXPECT_EQ(gif[19], g.transparent);
    // One image, not interlaced, with its own table of the given size.
    EXPECT_EQ(gif[21], 0x2C);
    EXPECT_EQ(u16(gif, 26), 10u);
    EXPECT_EQ(u16(gif, 28), 10u);
    const unsigned flags = gif[30];
    EXPECT_EQ(flags & 0x80, 0x80u) << "local colour table";
    EXPECT_EQ(flags & 0x40, 0u) << "interlaced";
    EXPECT_EQ(2u << (flags & 0x07), g.colours);
    EXPECT_EQ(gif.back(), ';');
  }
}

TEST(Pictures, GunSightIsACursorWithItsHotspotOnTheCross) {
  const Bytes cur = assets::picture(assets::Pic::GunSight);
  ASSERT_GE(cur.size(), 22u + 40 + 64 + 512 + 128);
  EXPECT_EQ(u16(cur, 0), 0u);
  EXPECT_EQ(u16(cur, 2), 2u);  // cursor
  EXPECT_EQ(u16(cur, 4), 1u);
  EXPECT_EQ(cur[6], 32);
  EXPECT_EQ(cur[7], 32);
  EXPECT_EQ(cur[8], 16);
  EXPECT_EQ(u16(cur, 10), 15u);  // hotspot x
  EXPECT_EQ(u16(cur, 12), 15u);  // hotspot y
  EXPECT_EQ(u32(cur, 18), 22u);
  EXPECT_EQ(u32(cur, 14) + 22, cur.size());
  EXPECT_EQ(u32(cur, 22), 40u);
  EXPECT_EQ(u32(cur, 26), 32u);
  EXPECT_EQ(u32(cur, 30), 64u);  // colour bits and mask
  EXPECT_EQ(u16(cur, 36), 4u);

  // AND mask, bottom-up, 4 bytes a row: a clear bit is a drawn (black) pixel.
  const std::size_t mask = 22 + 40 + 64 + 512;
  auto drawn = [&](int x, int y) { return !(cur[mask + (31 - y) * 4 + x / 8] & (0x80 >> x % 8)); };
  EXPECT_TRUE(drawn(15, 15));
  EXPECT_TRUE(drawn(15, 2));
  EXPECT_TRUE(drawn(28, 15));
  EXPECT_FALSE(drawn(0, 0));
  EXPECT_FALSE(drawn(31, 31));
  EXPECT_FALSE(drawn(19, 19));
}

TEST(Pictures, IconIs32By32With16Colours) {
  const Bytes ico = assets::picture(assets::Pic::Icon);
  ASSERT_GE(ico.size(), 22u + 40 + 64 + 512 + 128);
  EXPECT_EQ(u16(ico, 2), 1u);  // icon
  EXPECT_EQ(u16(ico, 4), 1u);
  EXPECT_EQ(ico[6], 32);
  EXPECT_EQ(ico[7], 32);
  EXPECT_EQ(ico[8], 16);
  EXPECT_EQ(u32(ico, 14) + u32(ico, 18), ico.size());
  EXPECT_EQ(u32(ico, 26), 32u);
  EXPECT_EQ(u32(ico, 30), 64u);
  EXPECT_EQ(u16(ico, 36), 4u);
}

TEST(Fonts, AllThreeAreTrueType) {
  using assets::FontFile;
  for (FontFile id : {FontFile::Regular, FontFile::Bold, FontFile::BoldItalic}) {
    const Bytes ttf = assets::font(id);
    ASSERT_GT(ttf.size(), 1000u);
    EXPECT_EQ(u32(ttf, 0), 0x00000100u)
        << "font " << static_cast<int>(id);  // 0x00010000 big-endian
  }
}

}  // namespace
