// Shots that miss: presses on the scenery leave a dot where they land and make a sound.
//
// On the window background the dot's colour follows the band: light blue in the sky (almost the
// sky's own colour, so it only shows over clouds), none in the band just above the fence, green
// on the grass; the sound comes with the click, and every tenth click up to the eightieth has a
// sound of its own. On the fence Picture1 the sound comes at once with the press.
#include "app/form1.h"
#include "app/layout.h"
#include "forms/types.h"

namespace {
const forms::Color kGreen = forms::Color::rgb(0, 128, 0);
const forms::Color kLightBlue = forms::Color::rgb(128, 220, 255);
const forms::Color kDarkRed = forms::Color::rgb(128, 0, 0);
}  // namespace

void Form1::Form_MouseDown(int, int, float X, float Y) {
  oldX = forms::roundEven(X);
  oldY = forms::roundEven(Y);
  if (oldY > layout::kGrassTop) {
    ForeColor = kGreen;
    Line(oldX, oldY, X, Y);
  }
  if (oldY < layout::kSkyBottom) {
    ForeColor = kLightBlue;
    Line(oldX, oldY, X, Y);
  }
}

void Form1::Form_Click() {
  // The count saturates instead of wrapping past 32767: a player who clicks that long keeps
  // hearing the ordinary shot rather than having the tenth-click sounds come round again.
  if (clicks < INT16_MAX) {
    clicks = static_cast<std::int16_t>(clicks + 1);
  }
  if (clicks % 10 == 0 && clicks >= 10 && clicks <= 80) {
    zvuk.PlaySound(assets::Sound::TenthClick, assets::kSoundType);
  } else {
    zvuk.PlaySound(assets::Sound::Shot, assets::kSoundType);
  }
}

void Form1::Form_DblClick() {
  Form_Click();
}

void Form1::Picture1_MouseDown(int, int, float X, float Y) {
  oldX = forms::roundEven(X);
  oldY = forms::roundEven(Y);
  if (oldY >= layout::kBoardsTop && oldY <= layout::kBoardsBottom) {
    Picture1.ForeColor = kDarkRed;
    Picture1.Line(oldX, oldY, X, Y);
    zvuk.PlaySound(assets::Sound::Fence, assets::kSoundType);
  }
  if (oldY < layout::kBoardsTop) {
    Picture1.ForeColor = kLightBlue;
    Picture1.Line(oldX, oldY, X, Y);
    zvuk.PlaySound(assets::Sound::Fence, assets::kSoundType);
  }
  if (oldY > layout::kBoardsBottom) {
    Picture1.ForeColor = kGreen;
    Picture1.Line(oldX, oldY, X, Y);
    zvuk.PlaySound(assets::Sound::Shot, assets::kSoundType);
  }
}
