// The bonus item: a small bird that crosses the sky 30 s after START and 30 s after each
// flight or hit display. Shooting it during a game adds 5 appearances and shows "+05".
//
//   Timer5 (30 s)    launch: from just left of the window at a random height
//   Timer6 (100 ms)  flight: 100 twips a tick until it is past the right edge
//   Timer7 (1 s)     hit display; while it runs a second hit adds nothing
//
// The stop path switches off Timer5 and Timer6 but not Timer7: a hit on display when the game
// ends still runs its display to the end and starts the launch timer again, so the bird keeps
// crossing between games, where shooting it counts for nothing.
#include <cmath>

#include "app/form1.h"
#include "app/layout.h"
#include "forms/captions.h"

void Form1::Timer5_Timer() {
  Image3.Picture = Image5.Picture;
  Image3.Left = layout::kBirdOutOfView;
  Image3.Top = std::floor(Rnd() * layout::kBirdSky + 1);
  Timer6.Enabled = true;
  Timer5.Enabled = false;
}

void Form1::Timer6_Timer() {
  if (Image3.Left > layout::kBirdGone) {
    Timer5.Enabled = true;
    Timer6.Enabled = false;
  } else {
    Image3.Left = Image3.Left + layout::kBirdStep;
  }
}

void Form1::Timer7_Timer() {
  Label12.Caption = "";
  Timer5.Enabled = true;
  Timer7.Enabled = false;
  Image3.Left =
      layout::kBirdOutOfView;  // out of view; it keeps the hit picture until the next launch
}

void Form1::Image3_MouseDown(int, int, float, float) {
  if (Label6.Caption == "STOP") {
    if (!Timer7.Enabled) {
      Label8.Caption = forms::textOf(forms::numberOf(Label8.Caption) + 5);
    }
    Label12.Caption = "+05";
  }
  Image3.Picture = Image4.Picture;
  zvuk.PlaySound(assets::Sound::BirdHit, assets::kSoundType);
  Timer6.Enabled = false;  // the bird stops where it was hit
  Timer7.Enabled = true;
}
