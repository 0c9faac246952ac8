// The window: its own properties and events, the controls on it in their stacking order, the
// timers, event routing and painting.
//
// A game window derives from Form, declares its controls as members, and registers them in
// stacking order (the layout does this). The session (platform/session.h) then drives it, one
// way only, the same on every host, with input and time that the host delivers:
//
//   form.Load();                                  // runs the Load event once
//   until form.ended():
//     on input:  form.mouse(input);  /  form.closeRequested();  /  form.exposed();
//     on time:   form.runDueTimers();             // due at form.nextTimerDue()
//     if (form.needsPaint()) host.render(form.paint());
//
// Everything runs on one thread; every event and tick runs its handler to completion, and a
// handler may call another handler directly.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "forms/controls.h"
#include "forms/draw_list.h"
#include "forms/environment.h"
#include "forms/marks_layer.h"
#include "forms/mouse_input.h"
#include "forms/picture.h"
#include "forms/property.h"
#include "forms/types.h"

namespace forms {

class Form : public PropertyOwner {
 public:
  explicit Form(Environment& env);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form() = default;

  Environment& env() { return env_; }

  // --- the window's own properties ---
  std::string Caption;                         // the title bar
  int ClientWidth = 0, ClientHeight = 0;       // pixels; fixed by the layout, before setStacking
  Property<forms::Picture> Picture{this, {}};  // background, unscaled at the client origin
  Property<Color> BackColor{this, Color::rgb(255, 255, 255)};
  Color ForeColor = Color::rgb(0, 0, 0);  // pen colour for Line
  int DrawWidth = 1;                      // pen width in pixels

  // Line drawing on the window, in client twips; Cls erases all of it.
  void Line(Twips x1, Twips y1, Twips x2, Twips y2);
  void Cls();
  const MarksLayer& marks() const { return marks_; }

  // The whole window on the screen, frame included, in twips; and the screen.
  double Left() const { return env_.windowRect().left; }
  double Top() const { return env_.windowRect().top; }
  double Width() const { return env_.windowRect().width; }
  double Height() const { return env_.windowRect().height; }
  ScreenInfo Screen() const { return env_.screen(); }
  float Rnd() { return env_.Rnd(); }

  // --- the window's events ---
  EventHandler LoadEvent, UnloadEvent, Click, DblClick;
  MouseHandler MouseDown, MouseMove;

  // --- set-up, by the layout ---
  // Registers the controls whose container is the window, back to front. Picture boxes are
  // child windows and always paint and take the mouse in front of the rest, keeping their
  // order among themselves. Timers may be listed anywhere.
  void setStacking(std::vector<Control*> backToFront);

  // --- driving the form ---
  void Load();
  // Routes one mouse event to the front-most control under the point that takes the mouse, or
  // to the window. A press and a release on the same control give Click: the release must find
  // that control still front-most under the pointer, else nothing happens. The second press of a
  // double click gives MouseDown and then DblClick instead of a second Click.
  void mouse(const MouseInput& in);
  // The close box: runs the Unload event and ends the program.
  void closeRequested();
  // Part of the window was uncovered: the window keeps no drawing, so its marks are gone.
  void exposed();

  // What a screen reader should say when it changes (a page's live region); none by default.
  virtual std::string announcement() const { return {}; }

  // Unloads the window (Unload event, once) and ends the program: no further event or tick runs.
  void Unload();
  void End();
  bool ended() const { return ended_; }

  // The earliest moment an enabled timer is due, or nothing when all timers are off.
  std::optional<Millis> nextTimerDue() const;
  // Fires, one at a time in order of their deadlines, every timer due by env().now(). Each fires
  // at most once per call; a late timer keeps its pace from the clock and never fires in a burst.
  void runDueTimers();

  bool needsPaint() const { return !damage_.empty(); }
  Frame paint();  // the whole scene; clears the damage

  // --- for controls ---
  void invalidate(const PixelRect& r);  // repaints r and erases the window's marks there
  void propertyChanging() override {}
  void propertyChanged() override;

 private:
  friend class Control;
  friend class PictureBox;

  PixelRect client() const { return {0, 0, ClientWidth, ClientHeight}; }
  void damage(const PixelRect& r);  // repaints r; marks stay
  Control* controlAt(Twips x, Twips y) const;
  void paintControl(const Control& c, const PixelRect& clip, Frame& f) const;
  std::vector<Timer*> timers() const;

  Environment& env_;
  std::vector<Control*> stacking_;
  MarksLayer marks_;
  PixelRect damage_;
  bool painted_ = false;
  // The last press: the control that took it (null for the window), its button, whether the
  // button is still down, and whether it was the second press of a double click.
  Control* pressed_ = nullptr;
  bool hadPress_ = false, buttonDown_ = false, pressWasDouble_ = false;
  int pressButton_ = 0;
  bool loaded_ = false, unloaded_ = false, ended_ = false;
};

}  // namespace forms
