// Checks the resources built into the executable: the sound bank's WAV images as a player reads
// them and their levels (no true peak above -1 dBTP, no click at the start), the bitmaps' sizes
// and the few pixels the game relies on (figures on sky blue, the see-through hole), and the
// fonts. The birds, the gun sight and the icon are checked where they are decoded
// (image_decoders_test).
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

constexpr std::array kSoundIds{1, 2, 3, 4, 5, 6, 7, 9};

// A WAV image as a player reads it: the chunks one after the other (each body padded to an even
// length) within the RIFF length, the format from "fmt ", the samples from "data".
struct Wav {
  std::string error;  // empty when the image reads
  unsigned format = 0, channels = 0, bits = 0;
  std::uint32_t rate = 0;
  std::size_t dataAt = 0, dataSize = 0;
};

Wav readWav(Bytes b) {
  Wav w;
  if (b.size() < 12 || text(b, 0, 4) != "RIFF" || text(b, 8, 4) != "WAVE") {
    w.error = "not a RIFF WAVE image";
    return w;
  }
  // Chunks are looked for within the RIFF length only, as SDL does by default.
  const std::size_t riffEnd = std::min<std::size_t>(b.size(), 8 + std::size_t{u32(b, 4)});
  bool format = false;
  for (std::size_t at = 12; at + 8 <= riffEnd;) {
    const std::string id = text(b, at, 4);
    const std::size_t size = u32(b, at + 4), body = at + 8;
    if (size > riffEnd - body) {
      w.error = "the \"" + id + "\" chunk runs past the RIFF length or the image";
      return w;
    }
    if (id == "fmt " && size >= 16) {
      w.format = u16(b, body);
      w.channels = u16(b, body + 2);
      w.rate = u32(b, body + 4);
      w.bits = u16(b, body + 14);
      format = true;
    }
    if (id == "data") {
      if (!format)
        w.error = "the samples come before their format";
      w.dataAt = body;
      w.dataSize = size;
      return w;
    }
    at = body + size + size % 2;
  }
  w.error = "no \"data\" chunk";
  return w;
}

// Empty when the bank has no such sound, which then does not read.
Bytes soundImage(int id) {
  const auto found = assets::find(assets::kSoundType, id);
  return found ? *found : Bytes{};
}

TEST(SoundBank, EverySoundReadsAsEightBitMonoAndItsSamplesEndWhereItsImageEnds) {
  for (int id : kSoundIds) {
    SCOPED_TRACE("sound " + std::to_string(id));
    const Bytes wav = soundImage(id);
    const Wav w = readWav(wav);
    ASSERT_EQ(w.error, "");
    EXPECT_EQ(w.format, 1u) << "PCM";
    EXPECT_EQ(w.channels, 1u);
    EXPECT_EQ(w.bits, 8u);
    EXPECT_EQ(w.rate, 11025u) << "the rate the game plays at";

    // The bank pads every image with zeros to a whole number of 4-byte words. The samples must
    // stop before the padding: a zero byte is full scale down in 8 bits, a click at the end.
    const std::size_t end = w.dataAt + w.dataSize;
    EXPECT_EQ(wav.size() % 4, 0u);
    EXPECT_LT(wav.size() - end, 4u) << "more than padding after the samples";
    for (std::size_t i = end; i < wav.size(); ++i)
      EXPECT_EQ(wav[i], 0) << "padding byte " << i;

    // Not silence: the samples swing well away from the 8-bit midpoint.
    const auto samples = wav.subspan(w.dataAt, w.dataSize);
    const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
    EXPECT_GT(*high - *low, 128);
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

std::vector<double> soundSamples(int id) {
  const Bytes wav = soundImage(id);
  const Wav w = readWav(wav);
  std::vector<double> out;
  for (std::uint8_t sample : wav.subspan(w.dataAt, w.dataSize))
    out.push_back((sample - 128) / 128.0);
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
  const double samplePeak =
      std::abs(*std::max_element(quarter.begin(), quarter.end(),
                                 [](double a, double b) { return std::abs(a) < std::abs(b); }));
  EXPECT_NEAR(samplePeak, 0.7071, 0.001);
  EXPECT_NEAR(truePeak(quarter), 1.0, 0.001);
  EXPECT_NEAR(truePeak(slow), 0.5, 0.001);  // a low tone peaks at its samples

  // A sound that starts at full level overshoots at its first sample (the click).
  std::vector<double> step(1000, 0.9);
  EXPECT_GT(truePeak(step), 1.0);
}

TEST(SoundBank, NoSoundGoesAboveMinusOneDecibelTruePeak) {
  for (int id : kSoundIds) {
    SCOPED_TRACE("sound " + std::to_string(id));
    ASSERT_EQ(readWav(soundImage(id)).error, "");
    const double peak = truePeak(soundSamples(id));
    EXPECT_LE(decibels(peak), -1.0) << "true peak " << decibels(peak) << " dBTP";
    // Not by being made quiet: the sound still comes within 3 dB of the limit.
    EXPECT_GT(decibels(peak), -4.0) << "true peak " << decibels(peak) << " dBTP";
  }
}

// A sound that starts or stops away from the midpoint clicks as the channel starts or cuts it.
TEST(SoundBank, EverySoundStartsAndEndsNearSilence) {
  for (int id : kSoundIds) {
    SCOPED_TRACE("sound " + std::to_string(id));
    ASSERT_EQ(readWav(soundImage(id)).error, "");
    const std::vector<double> samples = soundSamples(id);
    for (double edge : {samples.front(), samples.back()})
      EXPECT_LE(std::abs(edge), 0.1) << "a first or last sample at " << edge * 100 << " %";
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

// The game lays its controls out by these sizes and finds its clicks in them; the pixel checks
// below read the bitmaps as 24-bit bottom-up rows.
TEST(Pictures, BitmapsHaveTheirSizesAndAllTheirRows) {
  using assets::Pic;
  const Bitmap bitmaps[] = {
      {Pic::Landscape, 313, 222}, {Pic::Fence, 304, 60},     {Pic::TargetWhite, 36, 36},
      {Pic::Figure1, 36, 36},     {Pic::Figure1Hit, 36, 36}, {Pic::Figure2, 36, 36},
      {Pic::Figure2Hit, 36, 36},  {Pic::Figure3, 36, 36},    {Pic::Figure3Hit, 36, 36}};
  for (const Bitmap& b : bitmaps) {
    SCOPED_TRACE("picture " + std::to_string(static_cast<int>(b.id)));
    const Bytes bmp = assets::picture(b.id);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(static_cast<int>(u32(bmp, 18)), b.width);
    ASSERT_EQ(static_cast<int>(u32(bmp, 22)), b.height);  // positive: bottom-up
    ASSERT_EQ(u16(bmp, 28), 24u);
    ASSERT_EQ(u32(bmp, 30), 0u);  // uncompressed
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

// TrueType is big-endian.
unsigned be16(Bytes b, std::size_t at) {
  return b[at] << 8 | b[at + 1];
}

std::uint32_t be32(Bytes b, std::size_t at) {
  return be16(b, at) << 16 | be16(b, at + 2);
}

// Where the table `tag` starts in the font, or 0.
std::size_t tableOf(Bytes ttf, const std::string& tag) {
  for (unsigned i = 0; i < be16(ttf, 4); ++i) {
    const std::size_t record = 12 + 16 * i;
    if (text(ttf, record, 4) == tag)
      return be32(ttf, record + 8);
  }
  return 0;
}

// The glyph a character maps to in the font's Windows Unicode cmap (format 4); 0 is none.
unsigned glyphOf(Bytes ttf, char32_t c) {
  const std::size_t cmap = tableOf(ttf, "cmap");
  for (unsigned i = 0; i < be16(ttf, cmap + 2); ++i) {
    const std::size_t record = cmap + 4 + 8 * i;
    if (be16(ttf, record) != 3 || be16(ttf, record + 2) != 1)
      continue;
    const std::size_t sub = cmap + be32(ttf, record + 4);
    const unsigned segments2 = be16(ttf, sub + 6);
    const std::size_t ends = sub + 14, starts = ends + segments2 + 2;
    const std::size_t deltas = starts + segments2, ranges = deltas + segments2;
    for (unsigned s = 0; s < segments2; s += 2) {
      if (c > be16(ttf, ends + s) || c < be16(ttf, starts + s))
        continue;
      const unsigned range = be16(ttf, ranges + s);
      if (range == 0)
        return (c + be16(ttf, deltas + s)) & 0xFFFF;
      const unsigned glyph = be16(ttf, ranges + s + range + 2 * (c - be16(ttf, starts + s)));
      return glyph == 0 ? 0 : (glyph + be16(ttf, deltas + s)) & 0xFFFF;
    }
  }
  return 0;
}

bool hasKerning(Bytes ttf) {
  const std::size_t gpos = tableOf(ttf, "GPOS");
  if (gpos == 0)
    return false;
  const std::size_t features = gpos + be16(ttf, gpos + 6);
  for (unsigned i = 0; i < be16(ttf, features); ++i) {
    if (text(ttf, features + 2 + 6 * i, 4) == "kern")
      return true;
  }
  return false;
}

// The faces are cut down to what the game's texts can need; a letter cut too many would show as
// an empty box, and the words would lose their kerning with the table.
TEST(Fonts, EachFaceHasEveryLetterOfCzechAndEnglishAndItsKerning) {
  using assets::FontFile;
  std::u32string letters = U"ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž–„“…";
  for (char32_t c = 0x20; c < 0x7F; ++c)
    letters += c;
  for (FontFile id : {FontFile::Regular, FontFile::Bold, FontFile::BoldItalic}) {
    SCOPED_TRACE("font " + std::to_string(static_cast<int>(id)));
    const Bytes ttf = assets::font(id);
    ASSERT_GT(ttf.size(), 1000u);
    ASSERT_EQ(be32(ttf, 0), 0x00010000u);
    for (char32_t c : letters)
      EXPECT_NE(glyphOf(ttf, c), 0u) << "U+" << std::hex << +c;
    EXPECT_EQ(glyphOf(ttf, U'ß'), 0u);  // the cut happened
    EXPECT_TRUE(hasKerning(ttf));
  }
}

}  // namespace
