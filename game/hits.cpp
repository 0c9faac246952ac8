// A shot that finds the target. Image2_Click and Image2_DblClick run the same hit handling:
// a quick double click on the target is two hits, the second landing in the pause the first
// one started, where it scores nothing.
//
// A level's goal is met by a hit that finds the score at 90; the level check sets the score to
// -10 so that the hit's own 10 points (or, in the pause, the fix-up below) bring it to 0.
// At level 5 the goal is 100 after the hit's points: the game is won.
#include "app/form1.h"
#include "forms/captions.h"

using forms::numberOf;
using forms::textOf;

void Form1::Image2_Click() {
  hitTarget();
}

void Form1::Image2_DblClick() {
  hitTarget();
}

void Form1::hitTarget() {
  zvuk.PlaySound(7, "RESTYPE");
  Image2.Picture = Image1.Picture;

  auto score = [this] { return numberOf(Label1.Caption); };
  auto level = [this] { return numberOf(Label4.Caption); };
  if (score() == 90 && level() == 1) {
    Label1.Caption = "-10";
    speed = 90;
    Label4.Caption = "2";
    zvuk.PlaySound(4, "RESTYPE");
  }
  if (score() == 90 && level() == 2) {
    Label1.Caption = "-10";
    Label4.Caption = "3";
    speed = 108;
    zvuk.PlaySound(4, "RESTYPE");
  }
  if (score() == 90 && level() == 3) {
    Label4.Caption = "4";
    speed = 135;
    Label1.Caption = "-10";
    zvuk.PlaySound(4, "RESTYPE");
  }
  if (score() == 90 && level() == 4) {
    Label4.Caption = "5";
    speed = 180;
    Label1.Caption = "-10";
    zvuk.PlaySound(4, "RESTYPE");
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
    speed = 60;
    Label1.Caption = "-10";
    won = 1;
    Label6_Click();  // the stop path shows "Vyhrál jsi" and switches every game timer off
    zvuk.PlaySound(4, "RESTYPE");
  }
}
