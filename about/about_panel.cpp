// The about panel: ABOUT opens it over the sky (backdrop Shape1 and text Label10), OK closes it.
// While it is open the status row hides, START/STOP is disabled and a running game's target
// rests behind the fence; closing it resumes the game with the next appearance. The bonus
// item keeps flying, in front of the panel.
#include "app/form1.h"
#include "app/layout.h"

void Form1::Label9_Click() {
  if (Label9.Caption == "ABOUT") {
    if (Label6.Caption == "STOP") {
      Timer4.Enabled = false;
      Timer3.Enabled = false;
      Timer2.Enabled = false;
      Timer1.Enabled = false;
      Image2.Top = layout::kTargetParkedTop;
    }
    for (forms::Label* status : {&Label1, &Label3, &Label4, &Label5, &Label7, &Label8}) {
      status->Visible = false;
    }
    Label10.Visible = true;
    Shape1.Visible = true;
    Label6.Enabled = false;
    Label9.Caption = "OK";
    return;
  }

  Shape1.Visible = false;
  Label9.Caption = "ABOUT";
  Label6.Enabled = true;
  Label10.Visible = false;
  for (forms::Label* status : {&Label1, &Label3, &Label4, &Label5, &Label7, &Label8}) {
    status->Visible = true;
  }
  if (Label6.Caption == "STOP") {
    Timer1.Enabled = true;
  }
}
