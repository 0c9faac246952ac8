// Starting and ending a game: Form_Load and the START/STOP label Label6.
//
// Label6's caption is the one flag that says whether a game runs: "STOP" while it runs,
// "START" otherwise. Label6_Click is also called directly, while a game runs, by the countdown
// reaching 0 and by the winning hit; both then take the stop path.
#include "app/form1.h"
#include "app/layout.h"
#include "app/my.h"
#include "game/levels.h"

void Form1::Form_Load() {
  won = 0;
  speed = levels::kLevel1Speed;
  clicks = 0;
  Image7.Picture = Image6.Picture;  // figure set 1
  Image1.Picture = Image8.Picture;
}

void Form1::Label6_Click() {
  zvuk.PlaySound(assets::Sound::StartStop, assets::kSoundType);

  if (Label6.Caption == "START") {
    My::ConfineCursor(*this);
    won = 0;
    Picture1.Cls();  // the last game's shot marks go
    Cls();
    Image7.Picture = Image6.Picture;  // back to figure set 1, whatever level was reached
    Image1.Picture = Image8.Picture;
    Label2.Visible = false;
    Label6.Caption = "STOP";
    Label8.Caption = "100";
    Timer1.Enabled = true;  // the first appearance comes one Timer1 interval later
    Timer5.Enabled = true;  // the bonus item's first launch
    Label1.Caption = "0";
    Label4.Caption = "1";
    return;
  }

  // Only the winning hit sets won; a player's STOP always reads "Game over".
  if (won == 1) {
    Label2.Visible = true;
    Label2.Caption = "Vyhrál jsi";
    won = 0;
  } else {
    Label2.Visible = true;
    Label2.Caption = "Game over";
  }
  My::ReleaseCursor(*this);
  Label6.Caption = "START";
  // Timer7 is left alone: a bonus hit on display still ends its display after the game.
  Timer6.Enabled = false;
  Timer5.Enabled = false;
  Timer4.Enabled = false;
  Timer3.Enabled = false;
  Timer2.Enabled = false;
  Timer1.Enabled = false;
  Image2.Top =
      layout::kTargetParkedTop;  // the target drops behind the fence at once, whatever it was doing
  speed = levels::kLevel1Speed;
  Label8.Caption = "120";
  Label1.Caption = "0";
  Label4.Caption = "1";
}
