// Form1: the game's one window, its forty-five controls and five window-level variables, and
// the declarations of every event handler. The handlers are defined in the folder of the part
// of the game they belong to:
//
//   app/form1.cpp            construction, binding of events to handlers
//   app/layout.cpp           every control's initial properties, the about text, the stacking
//                            order (the numbers handlers share: app/layout.h)
//   app/window_chrome.cpp    button frames, exit, unload, shots at the message label
//   game/game_control.cpp    Form_Load, Label6_Click (START / STOP)
//   game/target_cycle.cpp    Timer1_Timer .. Timer4_Timer
//   game/hits.cpp            Image2_Click, Image2_DblClick (the levels: game/levels.h)
//   game/bonus_item.cpp      Timer5_Timer .. Timer7_Timer, Image3_MouseDown
//   game/shots.cpp           Form_MouseDown, Form_Click, Form_DblClick, Picture1_MouseDown
//   about/about_panel.cpp    Label9_Click
//
// Handlers share nothing but the controls' properties and the variables below, as the game
// always has; the caption of Label6 is the one flag that says whether a game runs.
#pragma once

#include <cstdint>
#include <string>

#include "forms/form.h"
#include "platform/game_services.h"
#include "sound/zvuk.h"

class Form1 : public forms::Form {
 public:
  explicit Form1(platform::GameServices& services);

  // Sound, cursor and message boxes: all the game asks of the machine beyond the runtime.
  platform::GameServices& services() { return services_; }

  Zvuk zvuk;  // the sound module

  // --- controls, named as the game names them ---
  //
  //   Label1              the score, beside Label3 "Body:"
  //   Label4              the level, beside Label5 "Level:"
  //   Label8              appearances left, beside Label7 "Pokusů:"
  //   Label12             "+05" while a bonus hit shows
  //   Label6              START / STOP, the one flag of a running game
  //   Label9              ABOUT / OK
  //   Label11             "Ukončit program", the exit
  //   Label10, Shape1     the about text and its white backdrop, hidden until ABOUT
  //   Picture1            the fence: the target hides behind it, it takes shots and their marks
  //   Label2              the message on the fence: "Vombrel !!!!", "Game over", "Vyhrál jsi"
  //   Image2              the target
  //   Image3              the bonus bird
  //   Image7, Image1      the figure in play and its hit picture, which Image2 copies
  //   Image6, Image8      hidden stores: figure set 1 and its hit picture; Image9, Image10 set 2;
  //                       Image11, Image12 set 3
  //   Image5, Image4      hidden stores: the bird flying and hit
  //   line1 .. line4      the frame of Label6; Line5 .. Line8 of Label9; Line9 .. Line12 of Label11
  //   Timer1 .. Timer4    the target: wait, rise, sink, pause after a hit
  //   Timer5 .. Timer7    the bird: launch, flight, hit display
  forms::Label Label1{*this, "Label1"}, Label3{*this, "Label3"}, Label4{*this, "Label4"},
      Label5{*this, "Label5"}, Label6{*this, "Label6"}, Label7{*this, "Label7"},
      Label8{*this, "Label8"}, Label9{*this, "Label9"}, Label10{*this, "Label10"},
      Label11{*this, "Label11"}, Label12{*this, "Label12"};
  forms::PictureBox Picture1{*this, "Picture1"};
  forms::Label Label2{*this, "Label2", &Picture1};
  forms::PictureBox Image2{*this, "Image2"};
  forms::Image Image1{*this, "Image1"}, Image3{*this, "Image3"}, Image4{*this, "Image4"},
      Image5{*this, "Image5"}, Image6{*this, "Image6"}, Image7{*this, "Image7"},
      Image8{*this, "Image8"}, Image9{*this, "Image9"}, Image10{*this, "Image10"},
      Image11{*this, "Image11"}, Image12{*this, "Image12"};
  forms::LineControl line1{*this, "line1"}, line2{*this, "line2"}, line3{*this, "line3"},
      line4{*this, "line4"}, Line5{*this, "Line5"}, Line6{*this, "Line6"}, Line7{*this, "Line7"},
      Line8{*this, "Line8"}, Line9{*this, "Line9"}, Line10{*this, "Line10"},
      Line11{*this, "Line11"}, Line12{*this, "Line12"};
  forms::Shape Shape1{*this, "Shape1"};
  forms::Timer Timer1{*this, "Timer1", 400}, Timer2{*this, "Timer2", 1}, Timer3{*this, "Timer3", 1},
      Timer4{*this, "Timer4", 600}, Timer5{*this, "Timer5", 30000}, Timer6{*this, "Timer6", 100},
      Timer7{*this, "Timer7", 1000};

  // The news a screen reader speaks: the end of a game, and the level being played.
  std::string announcement() const override;

  // --- window-level variables ---
  std::int16_t speed = 0;   // twips per tick of the target's rise and sink
  std::int16_t won = 0;     // 1 from the winning hit until the stop path shows "Vyhrál jsi"
  std::int16_t clicks = 0;  // clicks on the window background since the program started
  std::int32_t oldX = 0;    // the point of the last mouse-down on the scenery
  std::int32_t oldY = 0;

  // --- game control ---
  void Form_Load();
  void Label6_Click();

  // --- target cycle ---
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();
  void Timer4_Timer();

  // --- hits, scoring and levels ---
  void Image2_Click();
  void Image2_DblClick();

  // --- bonus item ---
  void Timer5_Timer();
  void Timer6_Timer();
  void Timer7_Timer();
  void Image3_MouseDown(int Button, int Shift, float X, float Y);

  // --- shots and marks ---
  void Form_MouseDown(int Button, int Shift, float X, float Y);
  void Form_Click();
  void Form_DblClick();
  void Picture1_MouseDown(int Button, int Shift, float X, float Y);

  // --- window chrome ---
  void Form_MouseMove(int Button, int Shift, float X, float Y);
  void Label6_MouseMove(int Button, int Shift, float X, float Y);
  void Label9_MouseMove(int Button, int Shift, float X, float Y);
  void Label11_MouseMove(int Button, int Shift, float X, float Y);
  void Label6_MouseDown(int Button, int Shift, float X, float Y);
  void Label9_MouseDown(int Button, int Shift, float X, float Y);
  void Label11_MouseDown(int Button, int Shift, float X, float Y);
  void Label11_Click();
  void Form_Unload();
  void Label2_MouseDown(int Button, int Shift, float X, float Y);
  void Label2_Click();

  // --- about panel ---
  void Label9_Click();

 private:
  void applyLayout();  // app/layout.cpp
  void bindEvents();

  // The hit handling that Image2_Click and Image2_DblClick share.
  void hitTarget();

  platform::GameServices& services_;
};
