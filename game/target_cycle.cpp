// The target cycle: a relay of four timers, exactly one of which runs during a game.
//
//   Timer1 (400 ms)  wait, then start an appearance: counter - 1, figure set, new place
//   Timer2 (1 ms)    rise by `speed` twips a tick from Top 1560 to the peak at 1020
//   Timer3 (1 ms)    sink back to 1560, then hand back to Timer1
//   Timer4 (600 ms)  the pause after a hit: a sound, the target drops away, then Timer1
//
// Top is compared exactly: every rise starts at 1560 and every speed divides the travel of
// 540, so the comparisons always meet their bounds as long as Top is never rounded to pixels.
#include <cmath>

#include "app/form1.h"
#include "app/layout.h"
#include "forms/captions.h"

using forms::numberOf;
using forms::textOf;

void Form1::Timer1_Timer() {
  // The figure changes with the first appearance of levels 3 and 5.
  if (numberOf(Label4.Caption) == 3) {
    Image7.Picture = Image9.Picture;
    Image1.Picture = Image10.Picture;
  }
  if (numberOf(Label4.Caption) == 5) {
    Image7.Picture = Image11.Picture;
    Image1.Picture = Image12.Picture;
  }
  Label8.Caption = textOf(numberOf(Label8.Caption) - 1);
  Image2.Picture = Image7.Picture;  // after a hit it still showed the hit picture
  Image2.Left = std::floor(Rnd() * layout::kTargetLeftMax + 1);
  Timer2.Enabled = true;
  if (numberOf(Label8.Caption) == 0) {
    // The appearance that used up the counter never rises: the stop path switches Timer2 off.
    Label2.Caption = "Game over";
    Image2.Top = layout::kTargetParkedTop;
    Label6_Click();
  }
  Timer1.Enabled = false;
}

void Form1::Timer2_Timer() {
  if (Image2.Top == layout::kTargetPeakTop) {
    Timer3.Enabled = true;
    Timer2.Enabled = false;
  } else {
    Image2.Top = Image2.Top - speed;
  }
}

void Form1::Timer3_Timer() {
  if (Image2.Top == layout::kTargetParkedTop) {
    Timer1.Enabled = true;
    Timer3.Enabled = false;
  } else {
    Image2.Top = Image2.Top + speed;
  }
}

void Form1::Timer4_Timer() {
  // Low or high with equal chance: floor(r * 2 + 1) is 1 for the lower half of the draws.
  const assets::Sound sound =
      Rnd() < 0.5 ? assets::Sound::HitPauseLow : assets::Sound::HitPauseHigh;
  zvuk.PlaySound(sound, assets::kSoundType);
  Image2.Top = layout::kTargetParkedTop;  // the hit target vanishes at once; it does not sink
  Timer1.Enabled = true;
  Timer4.Enabled = false;
}
