// The kinds of control the game's window is made of: labels, image controls, picture boxes,
// lines, a shape and timers, each with only the properties and events the game uses.
//
// Controls are members of a form (see form.h) and live as long as it. Properties are public
// and assignable (property.h); events are std::function members the form binds to its handlers:
//
//   Label6.Click = [this] { Label6_Click(); };
//   Image3.MouseDown = [this](const forms::MouseArgs& a) {
//     Image3_MouseDown(a.Button, a.Shift, a.X, a.Y);
//   };
//
// Geometry is in twips relative to the control's container: the form, or for a label placed
// inside a picture box, that picture box.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/environment.h"
#include "forms/marks_layer.h"
#include "forms/picture.h"
#include "forms/property.h"
#include "forms/types.h"

namespace forms {

class Form;
class PictureBox;

// Button: 1 left, 2 right, 4 middle. Shift: 1 Shift, 2 Ctrl, 4 Alt. X, Y: twips, control-relative.
struct MouseArgs {
  int Button = 1;
  int Shift = 0;
  Twips X = 0;
  Twips Y = 0;
};

using MouseHandler = std::function<void(const MouseArgs&)>;
using EventHandler = std::function<void()>;

enum class Kind { Label, Image, PictureBox, Line, Shape, Timer };

class Control : public PropertyOwner {
 public:
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const std::string& name() const { return name_; }
  Kind kind() const { return kind_; }
  PictureBox* container() const { return container_; }

  Property<bool> Visible{this, true};
  Property<bool> Enabled{this, true};

  // The box the control covers, in twips of its container. Lines cover the pixels their pen
  // paints; timers cover nothing.
  virtual TwipRect box() const = 0;
  // The same box in pixels of the window's client area.
  PixelRect windowPixels() const;

  // Events. An unbound event does nothing, but the control still takes the mouse: a press on a
  // label without a handler does not fall through to the window behind it.
  MouseHandler MouseDown;
  MouseHandler MouseMove;
  EventHandler Click;
  EventHandler DblClick;

  // Whether the mouse can reach this control at all: labels, images and picture boxes that are
  // visible and enabled (and, inside a picture box, whose container is too).
  bool takesMouse() const;

  void propertyChanging() override;
  void propertyChanged() override;

 protected:
  Control(Form& form, Kind kind, std::string name, PictureBox* container);

  Form& form_;

 private:
  // Visible, and inside a visible container: whether the control shows on the screen.
  bool shown() const;

  Kind kind_;
  std::string name_;
  PictureBox* container_;
  // A change may set further properties of the same control (an auto-sized label its width);
  // the screen is updated once, when the outermost change ends.
  int changeDepth_ = 0;
  bool shownBefore_ = false;
  PixelRect before_;  // window pixels covered before the change in progress
};

enum class Alignment { Left, Right, Center };

class Label : public Control {
 public:
  Label(Form& form, std::string name, PictureBox* container = nullptr)
      : Control(form, Kind::Label, std::move(name), container) {}

  Property<Twips> Left{this, 0}, Top{this, 0}, Width{this, 0}, Height{this, 0};
  Property<std::string> Caption{this, ""};  // UTF-8
  Property<Color> ForeColor{this, Color::rgb(0, 0, 0)};
  Property<forms::Font> Font{this, {}};
  Property<Alignment> Align{this, Alignment::Left};
  // An auto-sized label takes its caption's size in its font whenever the caption changes.
  // A right-aligned one keeps its right edge, so growing numbers stay inside the window.
  Property<bool> AutoSize{this, false};
  Property<bool> WordWrap{this, false};

  TwipRect box() const override { return {Left, Top, Width, Height}; }
  void propertyChanged() override;

 private:
  void fitCaption();
  bool fitting_ = false;
};

class Image : public Control {
 public:
  Image(Form& form, std::string name) : Control(form, Kind::Image, std::move(name), nullptr) {}

  Property<Twips> Left{this, 0}, Top{this, 0}, Width{this, 0}, Height{this, 0};
  Property<forms::Picture> Picture{this, {}};

  TwipRect box() const override { return {Left, Top, Width, Height}; }
  void propertyChanged() override;  // a new picture gives the control the picture's size

 private:
  forms::Picture sizedTo_;
};

// A child window of its own: it lies in front of every lightweight control of the form, shows
// its picture from its top-left corner, keeps shot marks of its own and may contain labels.
class PictureBox : public Control {
 public:
  PictureBox(Form& form, std::string name)
      : Control(form, Kind::PictureBox, std::move(name), nullptr) {}

  Property<Twips> Left{this, 0}, Top{this, 0}, Width{this, 0}, Height{this, 0};
  Property<forms::Picture> Picture{this, {}};
  Property<Color> ForeColor{this, Color::rgb(0, 0, 0)};
  int DrawWidth = 1;  // pen width in pixels

  // Draws a line in ForeColor with the pen width, in this box's own twips.
  void Line(Twips x1, Twips y1, Twips x2, Twips y2);
  void Cls();

  const MarksLayer& marks() const { return marks_; }
  MarksLayer& marks() { return marks_; }
  // Labels inside this box, back to front.
  std::vector<Control*>& children() { return children_; }
  const std::vector<Control*>& children() const { return children_; }

  TwipRect box() const override { return {Left, Top, Width, Height}; }
  void propertyChanged() override;  // a new picture gives the box the picture's size

 private:
  friend class Form;
  void sizeMarks();

  forms::Picture sizedTo_;
  MarksLayer marks_;
  std::vector<Control*> children_;
};

class LineControl : public Control {
 public:
  LineControl(Form& form, std::string name) : Control(form, Kind::Line, std::move(name), nullptr) {}

  Property<Twips> X1{this, 0}, Y1{this, 0}, X2{this, 0}, Y2{this, 0};
  Property<Color> BorderColor{this, Color::rgb(0, 0, 0)};
  int BorderWidth = 1;  // pixels

  // The pixels the pen covers, and the box around them: what the line paints and repaints.
  PixelLine pixels() const;
  TwipRect box() const override;
};

class Shape : public Control {
 public:
  Shape(Form& form, std::string name) : Control(form, Kind::Shape, std::move(name), nullptr) {}

  Property<Twips> Left{this, 0}, Top{this, 0}, Width{this, 0}, Height{this, 0};
  Property<Color> BorderColor{this, Color::rgb(0, 0, 0)};
  Property<Color> FillColor{this, Color::rgb(255, 255, 255)};
  int BorderWidth = 1;  // pixels

  TwipRect box() const override { return {Left, Top, Width, Height}; }
};

// Calls `Tick` once per interval while enabled; the interval is fixed when the timer is made
// (there is no Interval property to change it). A timer is created disabled. Enabling a disabled
// timer starts its interval anew; enabling an enabled one changes nothing.
//
// Intervals below kShortestPeriod run at kShortestPeriod: the 55 ms timer tick of the PCs the game
// was made for. The target's 1 ms rise and sink timers ask for "as fast as it goes", and the
// speed of each level (9 steps of rise at level 1 down to 3 at level 5) was tuned to that tick:
// it keeps a level-1 figure up for about a second and a level-5 one for a third. A faster tick
// would leave no person time to aim.
class Timer : public Control {
 public:
  static constexpr int kShortestPeriod = 55;  // ms

  Timer(Form& form, std::string name, int intervalMs);

  EventHandler Tick;  // the control's Timer event

  int period() const;  // the interval actually kept: at least kShortestPeriod
  Millis due() const { return due_; }

  TwipRect box() const override { return {}; }
  void propertyChanging() override;
  void propertyChanged() override;

 private:
  friend class Form;
  int interval_;
  Millis due_ = 0;
  bool wasEnabled_ = false;
  std::uint64_t starts_ = 0;  // counts every start, so a tick can tell it was restarted
};

}  // namespace forms
