// A shot that finds the target. Image2_Click and Image2_DblClick run the same hit handling:
// a quick double click on the target is two hits, the second landing in the pause the first
// one started, where it scores nothing.
//
// A level's goal is met by a hit that finds the score at 90; the level check sets the score to
// -10 so that the hit's own 10 points (or, in the pause, the fix-up below) bring it to 0.
// At level 5 the goal is 100 after the hit's points: the game is won.
#include "app/form1.h"
#include "forms/captions.h"
#include "game/levels.h"

using forms::numberOf;
using forms::textOf;

void Form1::Image2_Click() {
  hitTarget();
}

void Form1::Image2_DblClick() {
  hitTarget();
}

void Form1::hitTarget() {
  zvuk.PlaySound(assets::Sound::Shot, assets::kSoundType);
  Image2.Picture = Image1.Picture;

  auto score = [this] { return numberOf(Label1.Caption); };
  auto level = [this] { return numberOf(Label4.Caption); };
  for (const levels::LevelUp& up : levels::kLevelUps) {
    if (score() == 90 && level() == up.from) {
      Label1.Caption = "-10";
      Label4.Caption = textOf(up.from + 1);
      speed = up.speed;
      zvuk.PlaySound(assets::Sound::LevelUp, assets::kSoundType);
    }
  }
  if (score() == -10 && Timer4.Enabled) {
    Label1.Caption = "0";
  }
  if (!Timer4.Enabled) {
    Label1.Caption = textOf(score() + 10);
  }

  // The target stops where it was hit; the pause ends in Timer4_Timer.
  Timer1.Enabled = false;
  Timer2.Enabled = false;
  Timer3.Enabled = false;
  Timer4.Enabled = true;

  if (score() == 100 && level() == 5) {
    Label4.Caption = "1";
    speed = levels::kLevel1Speed;
    Label1.Caption = "-10";
    won = 1;
    Label6_Click();  // the stop path shows "Vyhrál jsi" and switches every game timer off
    zvuk.PlaySound(assets::Sound::LevelUp, assets::kSoundType);
  }
}
