// Form1's construction: the layout first, then each control's events bound to the handler of
// the same name. A control with no handler still takes the mouse (see forms::Control).
#include "app/form1.h"

Form1::Form1(platform::GameServices& services)
    : forms::Form(services), zvuk(services), services_(services) {
  applyLayout();
  bindEvents();
}

void Form1::bindEvents() {
  using forms::MouseArgs;
  // Adapts a handler taking (Button, Shift, X, Y) to a mouse event.
  auto mouse = [this](void (Form1::*handler)(int, int, float, float)) {
    return [this, handler](const MouseArgs& a) { (this->*handler)(a.Button, a.Shift, a.X, a.Y); };
  };

  LoadEvent = [this] { Form_Load(); };
  UnloadEvent = [this] { Form_Unload(); };
  Click = [this] { Form_Click(); };
  DblClick = [this] { Form_DblClick(); };
  MouseDown = mouse(&Form1::Form_MouseDown);
  MouseMove = mouse(&Form1::Form_MouseMove);

  Label6.Click = [this] { Label6_Click(); };
  Label6.MouseDown = mouse(&Form1::Label6_MouseDown);
  Label6.MouseMove = mouse(&Form1::Label6_MouseMove);
  Label9.Click = [this] { Label9_Click(); };
  Label9.MouseDown = mouse(&Form1::Label9_MouseDown);
  Label9.MouseMove = mouse(&Form1::Label9_MouseMove);
  Label11.Click = [this] { Label11_Click(); };
  Label11.MouseDown = mouse(&Form1::Label11_MouseDown);
  Label11.MouseMove = mouse(&Form1::Label11_MouseMove);
  Label2.Click = [this] { Label2_Click(); };
  Label2.MouseDown = mouse(&Form1::Label2_MouseDown);

  Image2.Click = [this] { Image2_Click(); };
  Image2.DblClick = [this] { Image2_DblClick(); };
  Image3.MouseDown = mouse(&Form1::Image3_MouseDown);
  Picture1.MouseDown = mouse(&Form1::Picture1_MouseDown);

  Timer1.Tick = [this] { Timer1_Timer(); };
  Timer2.Tick = [this] { Timer2_Timer(); };
  Timer3.Tick = [this] { Timer3_Timer(); };
  Timer4.Tick = [this] { Timer4_Timer(); };
  Timer5.Tick = [this] { Timer5_Timer(); };
  Timer6.Tick = [this] { Timer6_Timer(); };
  Timer7.Tick = [this] { Timer7_Timer(); };
}
