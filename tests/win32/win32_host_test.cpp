// The Win32 host under Wine: a real window, the real ClipCursor, WinMM and the program's own
// resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "app/my.h"
#include "assets/resources.h"
#include "platform/headless/headless_host.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_painter.h"
#include "platform/win32/win32_sound.h"

namespace {

constexpr char kTitle[] = "Vombrel host test";
constexpr int kClientWidth = 304, kClientHeight = 213;

struct OpenWindow {
  std::unique_ptr<platform::CallbackHost> host;
  HWND window = nullptr;

  explicit OpenWindow(int dpi) : host(platform::createWin32Host({dpi})) {
    platform::WindowSetup setup;
    setup.title = kTitle;
    setup.clientWidth = kClientWidth;
    setup.clientHeight = kClientHeight;
    platform::Status st = host->open(setup);
    EXPECT_TRUE(st.ok()) << st.error;
    host->show();
    window = FindWindowA(nullptr, kTitle);
    pump();
  }

  // Brings the window to the front and waits until the system says it is: a loaded machine
  // may take longer than one pump.
  void activate() {
    SetForegroundWindow(window);
    for (int i = 0; i < 40 && GetActiveWindow() != window; ++i) {
      pump();
    }
    pump();
  }

  // Lets the window take what the system sent it (activation, painting) for 50 ms.
  void pump() {
    for (ULONGLONG until = GetTickCount64() + 50; GetTickCount64() < until;) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }

  void clickAt(int x, int y) {
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    pump();
  }

  void moveTo(int x, int y) {
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    pump();
  }

  RECT frame() const {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
  }
};

platform::ClipRect clipOf(const RECT& r) {
  return {r.left, r.top, r.right, r.bottom};
}

platform::ClipRect heldClip() {
  RECT r{};
  GetClipCursor(&r);
  return clipOf(r);
}

platform::ClipRect wholeDesktop() {
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The rectangle the game computes from the window's twips is the window on the screen, frame and
// caption included, wherever the window stands and at every density; and it is what ClipCursor
// holds while the game runs.
TEST(Win32Host, TheGamesClipRectangleIsTheWholeWindowAtEveryPositionAndDensity) {
  for (int dpi : {96, 144, 192}) {
    SCOPED_TRACE("dpi " + std::to_string(dpi));
    OpenWindow w(dpi);
    ASSERT_NE(w.window, nullptr);
    int scale = dpi / 96;
    RECT client{};
    GetClientRect(w.window, &client);
    EXPECT_EQ(client.right, kClientWidth * scale);
    EXPECT_EQ(client.bottom, kClientHeight * scale);
    for (POINT at : {POINT{0, 0}, POINT{100, 80}, POINT{333, 117}}) {
      w.moveTo(at.x, at.y);
      platform::ClipRect game = My::windowClip(w.host->windowRect(), w.host->screen());
      EXPECT_EQ(game, clipOf(w.frame())) << "at " << at.x << ", " << at.y;
      w.host->clipCursor(game);
      EXPECT_EQ(heldClip(), game) << "at " << at.x << ", " << at.y;
    }
    w.host->clipCursor(std::nullopt);
    EXPECT_EQ(heldClip(), wholeDesktop());
  }
}

// The rectangle goes with the window. Switching to another program frees the cursor and coming
// back confines it again, where the window stands then; a window moved during a game carries
// the rectangle along, and a minimised or hidden one lets the cursor go until it is back, when
// it takes the cursor at once, wherever the pointer was left.
TEST(Win32Host, TheClipFollowsTheWindowAndGoesWhileItIsAwayOrInactive) {
  OpenWindow w(96);
  ASSERT_NE(w.window, nullptr);
  w.moveTo(50, 40);
  w.host->clipCursor(clipOf(w.frame()));
  ASSERT_EQ(heldClip(), clipOf(w.frame()));

  SendMessageW(w.window, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(heldClip(), wholeDesktop()) << "the cursor stays confined to an inactive window";
  w.moveTo(360, 245);
  SendMessageW(w.window, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(heldClip(), clipOf(w.frame())) << "the cursor came back to the old place";

  w.moveTo(20, 300);
  EXPECT_EQ(heldClip(), clipOf(w.frame())) << "the rectangle stayed behind the moved window";

  ShowWindow(w.window, SW_MINIMIZE);
  w.pump();
  EXPECT_EQ(heldClip(), wholeDesktop()) << "a minimised window holds the cursor";
  SetCursorPos(900, 700);
  ShowWindow(w.window, SW_RESTORE);
  w.activate();
  EXPECT_EQ(heldClip(), clipOf(w.frame())) << "the restored window did not take the cursor";
  POINT at{};
  GetCursorPos(&at);
  RECT held = w.frame();
  EXPECT_TRUE(PtInRect(&held, at)) << "the pointer stayed at " << at.x << ", " << at.y;
  ShowWindow(w.window, SW_HIDE);
  w.pump();
  EXPECT_EQ(heldClip(), wholeDesktop()) << "a hidden window holds the cursor";
  ShowWindow(w.window, SW_SHOW);

  // Nothing the window goes through confines a cursor that the game has released.
  w.host->clipCursor(std::nullopt);
  SendMessageW(w.window, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageW(w.window, WM_ACTIVATE, WA_ACTIVE, 0);
  w.moveTo(40, 40);
  EXPECT_EQ(heldClip(), wholeDesktop());
}

// A message box is a window of its own: the cursor must reach its OK, and is confined again once
// the box is gone.
TEST(Win32Host, AMessageBoxFreesTheCursorWhileItShows) {
  OpenWindow w(96);
  ASSERT_NE(w.window, nullptr);
  platform::ClipRect game = clipOf(w.frame());
  w.host->clipCursor(game);
  std::optional<platform::ClipRect> whileShown;
  std::thread player([&] {
    for (int i = 0; i < 100 && !whileShown; ++i) {
      if (HWND box = FindWindowA(nullptr, "Box test")) {
        whileShown = heldClip();
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
      Sleep(50);
    }
  });
  w.host->messageBox("Box test", "Please check the spelling of the ID or TYPE.");
  player.join();
  ASSERT_TRUE(whileShown) << "no message box came up";
  EXPECT_EQ(*whileShown, wholeDesktop());
  EXPECT_EQ(heldClip(), game);
  w.host->clipCursor(std::nullopt);
}

// WinMM reads a sound from memory while it plays: the channel hands it bytes of its own, and
// lets the old ones go only after WinMM has the new sound or has been told to stop.
TEST(SoundChannel, KeepsTheBytesWinmmReadsUntilItHasLetGoOfThem) {
  const std::vector<std::uint8_t> first(300, 0x11), second(200, 0x22);
  std::vector<const std::uint8_t*> handed;
  std::vector<bool> previousIntact;
  platform::win32::SoundChannel* channel = nullptr;
  std::vector<std::uint8_t> expected;  // what WinMM is reading right now
  auto player = [&](const std::uint8_t* wav) {
    // At each call the sound WinMM was reading must still be there, byte for byte.
    if (!handed.empty() && handed.back() != nullptr) {
      previousIntact.push_back(channel->playing().data() == handed.back() &&
                               std::equal(expected.begin(), expected.end(), handed.back()));
    }
    handed.push_back(wav);
  };
  {
    platform::win32::SoundChannel sound(player);
    channel = &sound;
    {
      std::vector<std::uint8_t> callers(first);
      sound.play(callers);
      EXPECT_NE(handed.back(), callers.data()) << "WinMM got the caller's own bytes";
    }
    expected = first;
    ASSERT_TRUE(std::equal(first.begin(), first.end(), handed.back()));
    sound.play(second);
    expected = second;
    ASSERT_TRUE(std::equal(second.begin(), second.end(), handed.back()));
  }
  ASSERT_EQ(handed.size(), 3u);
  EXPECT_EQ(handed[2], nullptr) << "the channel went without stopping the sound";
  EXPECT_EQ(previousIntact, (std::vector<bool>{true, true}));
}

// The same through the real WinMM: a sound of the bank plays from the channel's own copy.
TEST(SoundChannel, PlaysTheBankThroughWinmm) {
  platform::win32::SoundChannel sound;
  auto bank = assets::find("RESTYPE", 9);
  ASSERT_TRUE(bank);
  {
    std::vector<std::uint8_t> callers(bank->begin(), bank->end());
    sound.play(callers);
  }
  Sleep(50);
  EXPECT_TRUE(
      std::equal(bank->begin(), bank->end(), sound.playing().begin(), sound.playing().end()));
}

// The sounds are real resources of type "RESTYPE", the WAV files padded with zeros to whole
// 4-byte words; the fonts come back as their files.
TEST(Resources, ReadBackByteForByteAsTheFilesWithTheBanksPadding) {
  for (int id : {1, 2, 3, 4, 5, 6, 7, 9}) {
    std::vector<std::uint8_t> wav =
        fileBytes(VOMBREL_ASSETS_DIR "/sounds/" + std::to_string(id) + ".wav");
    ASSERT_FALSE(wav.empty()) << id;
    wav.resize((wav.size() + 3) / 4 * 4, 0);
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "RESTYPE");
    ASSERT_NE(res, nullptr) << "no RESTYPE resource " << id;
    auto found = assets::find("RESTYPE", id);
    ASSERT_TRUE(found) << id;
    EXPECT_TRUE(std::equal(wav.begin(), wav.end(), found->begin(), found->end())) << id;
  }
  EXPECT_FALSE(assets::find("RESTYPE", 8));
  EXPECT_FALSE(assets::find("RESTYPE", 0x10001));
  const char* fonts[] = {"Regular", "Bold", "BoldItalic"};
  for (int id = 1; id <= 3; ++id) {
    std::vector<std::uint8_t> ttf =
        fileBytes(VOMBREL_ASSETS_DIR "/fonts/VombrelSans-" + std::string(fonts[id - 1]) + ".ttf");
    auto found = assets::font(static_cast<assets::FontFile>(id));
    EXPECT_TRUE(std::equal(ttf.begin(), ttf.end(), found.begin(), found.end())) << id;
  }
  // Explorer's icon and the window's gun sight.
  EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)), nullptr);  // icon
  EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(12)), nullptr);  // cursor
}

}  // namespace

// Each of the game's faces is drawn from its own embedded file, not made up by the system from
// another face or taken from an installed font: the letters match Linux's.
TEST(Fonts, EachFaceComesFromItsEmbeddedFile) {
  platform::win32::Fonts fonts;
  HDC dc = CreateCompatibleDC(nullptr);
  struct Case {
    forms::Font font;
    assets::FontFile file;
  };
  for (const Case& c : {Case{{11, false, false}, assets::FontFile::Regular},
                        Case{{11, true, false}, assets::FontFile::Bold},
                        Case{{32, true, true}, assets::FontFile::BoldItalic}}) {
    HGDIOBJ old = SelectObject(dc, fonts.face(c.font));
    auto file = assets::font(c.file);
    EXPECT_EQ(GetFontData(dc, 0, 0, nullptr, 0), file.size())
        << "bold " << c.font.bold << ", italic " << c.font.italic;
    SelectObject(dc, old);
  }
  DeleteDC(dc);
}

// The painter's back buffer, 0xAARRGGBB by rows.
const std::uint32_t* pixelsOf(const platform::win32::Painter& p) {
  DIBSECTION dib{};
  GetObjectW(GetCurrentObject(p.dc(), OBJ_BITMAP), sizeof dib, &dib);
  return static_cast<const std::uint32_t*>(dib.dsBm.bmBits);
}

// At factor 3 every pixel of the scene's pictures, fills and lines is a 3 x 3 square of its 1x
// colour, nothing smeared; the text is set anew at three times the size, so that its letters
// have edges finer than a square.
TEST(Painter, PicturesAreWholeSquaresAndTextIsSetAtTheFactor) {
  constexpr int k = 3;
  headless::HeadlessHost services;
  Form1 form{services};
  forms::Frame frame = form.paint();
  // The bird in the sky, a GIF with its transparency, goes through the other way of drawing.
  frame.commands.push_back(
      forms::DrawPicture{forms::Picture::fromBytes("bird", assets::picture(assets::Pic::Bird)),
                         150,
                         40,
                         {0, 0, kClientWidth, kClientHeight}});
  platform::win32::Fonts fonts;
  platform::win32::Painter one(kClientWidth, kClientHeight, 1, fonts);
  platform::win32::Painter big(kClientWidth, kClientHeight, k, fonts);
  one.paint(frame);
  big.paint(frame);
  const std::uint32_t *small = pixelsOf(one), *large = pixelsOf(big);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  std::vector<forms::PixelRect> text;
  for (const forms::DrawCommand& c : frame.commands) {
    if (const auto* run = std::get_if<forms::DrawTextRun>(&c)) {
      text.push_back(run->box.intersect(run->clip));
    }
  }
  int smeared = 0, fineEdges = 0;
  for (int y = 0; y < kClientHeight; ++y) {
    for (int x = 0; x < kClientWidth; ++x) {
      bool square = true;
      for (int dy = 0; dy < k; ++dy) {
        for (int dx = 0; dx < k; ++dx) {
          square = square && large[(y * k + dy) * kClientWidth * k + x * k + dx] ==
                                 large[y * k * kClientWidth * k + x * k];
        }
      }
      bool inText = std::any_of(text.begin(), text.end(),
                                [&](const forms::PixelRect& r) { return r.contains(x, y); });
      if (!inText &&
          !(square && large[y * k * kClientWidth * k + x * k] == small[y * kClientWidth + x])) {
        ++smeared;
      }
      fineEdges += inText && !square;
    }
  }
  EXPECT_EQ(smeared, 0);
  EXPECT_GT(fineEdges, 300) << "the text is its 1x letters enlarged";
}

// Letters hinted at 11 px are narrower for their size than at 55: the about text, which just
// fits its box at 1x, must break its lines anew at every factor rather than run out of the box
// and be cut off at its edge.
TEST(Painter, WrappedTextStaysInsideItsBoxAtEveryFactor) {
  headless::HeadlessHost services;
  Form1 form{services};
  form.Label9_Click();
  forms::Frame about = form.paint();
  const forms::PixelRect scene{0, 0, kClientWidth, kClientHeight};
  forms::Frame text;
  text.width = kClientWidth;
  text.height = kClientHeight;
  text.damage = scene;
  text.commands.push_back(forms::FillRect{scene, {255, 255, 255}});
  std::vector<forms::PixelRect> boxes;
  for (const forms::DrawCommand& c : about.commands) {
    if (const auto* run = std::get_if<forms::DrawTextRun>(&c); run != nullptr && run->wrap) {
      forms::DrawTextRun unclipped = *run;
      unclipped.clip = scene;  // what would have been cut off shows
      text.commands.push_back(unclipped);
      boxes.push_back(run->box);
    }
  }
  ASSERT_FALSE(boxes.empty()) << "no wrapped text in the about panel";
  platform::win32::Fonts fonts;
  for (int k : {1, 2, 3, 5}) {
    platform::win32::Painter painter(kClientWidth, kClientHeight, k, fonts);
    painter.paint(text);
    const std::uint32_t* pixels = pixelsOf(painter);
    int outside = 0;
    for (int y = 0; y < kClientHeight * k; ++y) {
      for (int x = 0; x < kClientWidth * k; ++x) {
        bool inked = (pixels[y * kClientWidth * k + x] & 0xFFFFFF) != 0xFFFFFF;
        bool inBox = std::any_of(boxes.begin(), boxes.end(), [&](const forms::PixelRect& b) {
          // A letter's shading may spill a pixel past its advance, as at 1x.
          return x < (b.x + b.w + 1) * k && y < (b.y + b.h) * k;
        });
        outside += inked && !inBox;
      }
    }
    EXPECT_EQ(outside, 0) << "at factor " << k;
  }
}
