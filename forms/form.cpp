// The window: stacking, event routing, timers, drawing on the window and painting (see form.h).
#include "forms/form.h"

#include <algorithm>
#include <cmath>

namespace forms {

Form::Form(Environment& env) : env_(env) {}

// --- drawing on the window ---

void Form::Line(Twips x1, Twips y1, Twips x2, Twips y2) {
  damage(marks_.line(toPixels(x1), toPixels(y1), toPixels(x2), toPixels(y2), DrawWidth,
                     resolve(ForeColor)));
}

void Form::Cls() {
  marks_.clear();
  damage(client());
}

// --- set-up ---

void Form::setStacking(std::vector<Control*> backToFront) {
  stacking_.clear();
  for (Control* c : backToFront) {
    PictureBox* box = c->container();
    if (!box) {
      stacking_.push_back(c);
    } else if (std::find(box->children().begin(), box->children().end(), c) ==
               box->children().end()) {
      box->children().push_back(c);  // a label inside a picture box stacks within the box
    }
  }
  if (marks_.width() != ClientWidth || marks_.height() != ClientHeight) {
    marks_.resize(ClientWidth, ClientHeight);
  }
  for (Control* c : stacking_) {
    if (c->kind() == Kind::PictureBox)
      static_cast<PictureBox*>(c)->sizeMarks();
  }
  damage(client());
}

std::vector<Timer*> Form::timers() const {
  std::vector<Timer*> result;
  for (Control* c : stacking_) {
    if (c->kind() == Kind::Timer)
      result.push_back(static_cast<Timer*>(c));
  }
  return result;
}

// --- lifecycle ---

void Form::Load() {
  if (loaded_ || ended_)
    return;
  loaded_ = true;
  if (LoadEvent)
    LoadEvent();
  damage(client());
}

void Form::closeRequested() {
  Unload();
}

void Form::exposed() {
  if (ended_)
    return;
  marks_.clear();
  damage(client());
}

void Form::Unload() {
  if (ended_)
    return;
  if (!unloaded_) {
    unloaded_ = true;
    if (UnloadEvent)
      UnloadEvent();
  }
  End();
}

void Form::End() {
  ended_ = true;
}

// --- mouse ---

// Picture boxes are child windows in front of everything else, the last registered in front;
// a label inside one lies in front of the box's own picture. Then the lightweight controls,
// front to back. Anything that does not take the mouse lets the event through to what lies
// behind, and in the end to the window.
Control* Form::controlAt(Twips x, Twips y) const {
  for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
    Control* c = *it;
    if (c->kind() != Kind::PictureBox || !c->takesMouse() || !c->box().contains(x, y))
      continue;
    TwipRect outer = c->box();
    const auto& children = static_cast<PictureBox*>(c)->children();
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
      if ((*child)->takesMouse() && (*child)->box().contains(x - outer.left, y - outer.top)) {
        return *child;
      }
    }
    return c;
  }
  for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
    Control* c = *it;
    if (c->kind() == Kind::PictureBox || !c->takesMouse())
      continue;
    if (c->box().contains(x, y))
      return c;
  }
  return nullptr;
}

namespace {

// X and Y relative to the control's own top-left, through its container if it has one.
MouseArgs argsFor(const Control* c, const MouseInput& in, Twips x, Twips y) {
  MouseArgs a{in.button, in.shift, x, y};
  for (const Control* at = c; at; at = at->container()) {
    TwipRect b = at->box();
    a.X -= b.left;
    a.Y -= b.top;
  }
  return a;
}

}  // namespace

void Form::mouse(const MouseInput& in) {
  if (ended_)
    return;
  // Twips are kept as floats, unrounded: handlers round them where the game stores integers.
  auto x = static_cast<Twips>(in.x * kTwipsPerPixel);
  auto y = static_cast<Twips>(in.y * kTwipsPerPixel);

  switch (in.type) {
    case MouseInput::Type::Move: {
      Control* target = controlAt(x, y);
      const MouseHandler& handler = target ? target->MouseMove : MouseMove;
      if (handler)
        handler(argsFor(target, in, x, y));
      break;
    }
    case MouseInput::Type::Down: {
      Control* target = controlAt(x, y);
      // A double click counts only when both presses land on the same control (or the window);
      // otherwise the second press is an ordinary one.
      bool isDouble = in.doubleClick && hadPress_ && !pressWasDouble_ && target == pressed_;
      pressed_ = target;
      hadPress_ = buttonDown_ = true;
      pressWasDouble_ = isDouble;
      pressButton_ = in.button;
      const MouseHandler& down = target ? target->MouseDown : MouseDown;
      if (down)
        down(argsFor(target, in, x, y));
      if (isDouble && !ended_) {
        const EventHandler& dbl = target ? target->DblClick : DblClick;
        if (dbl)
          dbl();
      }
      break;
    }
    case MouseInput::Type::Up: {
      // A press and a release on the same control make a Click: the release must find the
      // control that took the press still front-most under the pointer. A target held down
      // while it sinks behind the fence, or past the end of the game, is no longer there to be
      // clicked. The release of a double click's second press gives no Click.
      if (!buttonDown_ || in.button != pressButton_)
        break;
      buttonDown_ = false;
      if (pressWasDouble_ || controlAt(x, y) != pressed_)
        break;
      const EventHandler& click = pressed_ ? pressed_->Click : Click;
      if (click)
        click();
      break;
    }
  }
}

// --- timers ---

std::optional<Millis> Form::nextTimerDue() const {
  if (ended_)
    return std::nullopt;
  std::optional<Millis> next;
  for (const Timer* t : timers()) {
    if (t->Enabled && (!next || t->due_ < *next))
      next = t->due_;
  }
  return next;
}

void Form::runDueTimers() {
  const Millis now = env_.now();
  std::vector<Timer*> all = timers();
  std::vector<bool> fired(all.size(), false);
  while (!ended_) {
    // The enabled timer that has waited longest; on a tie, the one registered first.
    int pick = -1;
    for (std::size_t i = 0; i < all.size(); ++i) {
      const Timer* t = all[i];
      if (fired[i] || !t->Enabled || t->due_ > now)
        continue;
      if (pick < 0 || t->due_ < all[pick]->due_)
        pick = static_cast<int>(i);
    }
    if (pick < 0)
      return;
    fired[pick] = true;
    Timer& t = *all[pick];
    const std::uint64_t starts = t.starts_;
    if (t.Tick)
      t.Tick();
    // Still running on the same start: the next tick is the first point of the timer's grid
    // after now, so a late tick neither fires twice to catch up nor shifts the grid.
    if (t.Enabled && t.starts_ == starts) {
      const Millis late = now - t.due_;
      t.due_ += (late / t.period() + 1) * t.period();
    }
  }
}

// --- painting ---

void Form::damage(const PixelRect& r) {
  damage_ = damage_.unite(r.intersect(client()));
}

void Form::invalidate(const PixelRect& r) {
  damage(r);
  marks_.erase(r);
}

// A new background repaints the whole window, and the window keeps no drawing.
void Form::propertyChanged() {
  invalidate(client());
}

void Form::paintControl(const Control& c, const PixelRect& clip, Frame& f) const {
  const PixelRect box = c.windowPixels();
  switch (c.kind()) {
    case Kind::Label: {
      const auto& label = static_cast<const Label&>(c);
      if (label.Caption.get().empty())
        return;
      // A fixed-size label cuts its text to its box; an auto-sized one is its text's size.
      PixelRect textClip = label.AutoSize ? clip : box.intersect(clip);
      f.commands.push_back(DrawTextRun{label.Caption, label.Font, resolve(label.ForeColor), box,
                                       label.Align, label.WordWrap, textClip});
      return;
    }
    case Kind::Image: {
      const auto& image = static_cast<const Image&>(c);
      if (image.Picture.get().empty())
        return;
      f.commands.push_back(DrawPicture{image.Picture, box.x, box.y, box.intersect(clip)});
      return;
    }
    case Kind::Line: {
      const auto& line = static_cast<const LineControl&>(c);
      f.commands.push_back(DrawLine{line.pixels(), resolve(line.BorderColor)});
      return;
    }
    case Kind::Shape: {
      const auto& shape = static_cast<const Shape&>(c);
      f.commands.push_back(FillRect{box, resolve(shape.FillColor)});
      f.commands.push_back(OutlineRect{box, resolve(shape.BorderColor), shape.BorderWidth});
      return;
    }
    case Kind::PictureBox:
    case Kind::Timer:
      return;  // picture boxes paint as windows of their own; timers never show
  }
}

Frame Form::paint() {
  Frame f;
  f.width = ClientWidth;
  f.height = ClientHeight;
  const PixelRect all = client();

  f.commands.push_back(FillRect{all, resolve(BackColor)});
  if (!Picture.get().empty())
    f.commands.push_back(DrawPicture{Picture, 0, 0, all});
  for (const Control* c : stacking_) {
    if (c->kind() != Kind::PictureBox && c->Visible)
      paintControl(*c, all, f);
  }
  f.commands.push_back(DrawMarks{&marks_, 0, 0, all});

  for (const Control* c : stacking_) {
    if (c->kind() != Kind::PictureBox || !c->Visible)
      continue;
    const auto& box = static_cast<const PictureBox&>(*c);
    const PixelRect at = box.windowPixels();
    const PixelRect clip = at.intersect(all);
    f.arrowCursorAreas.push_back(clip);
    if (!box.Picture.get().empty())
      f.commands.push_back(DrawPicture{box.Picture, at.x, at.y, clip});
    f.commands.push_back(DrawMarks{&box.marks(), at.x, at.y, clip});
    for (const Control* child : box.children()) {
      if (child->Visible)
        paintControl(*child, clip, f);
    }
  }

  f.damage = painted_ ? damage_ : all;
  painted_ = true;
  damage_ = {};
  return f;
}

}  // namespace forms
