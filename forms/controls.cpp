// The controls' reactions to their own property changes: repainting the boxes they cover,
// erasing the marks there, fitting auto-sized labels to their captions and restarting timers.
#include "forms/controls.h"

#include <algorithm>
#include <cmath>

#include "forms/form.h"

namespace forms {

Control::Control(Form& form, Kind kind, std::string name, PictureBox* container)
    : form_(form), kind_(kind), name_(std::move(name)), container_(container) {}

PixelRect Control::windowPixels() const {
  TwipRect b = box();
  if (container_) {
    TwipRect outer = container_->box();
    b.left += outer.left;
    b.top += outer.top;
  }
  return b.toPixels();
}

bool Control::takesMouse() const {
  bool mouseKind = kind_ == Kind::Label || kind_ == Kind::Image || kind_ == Kind::PictureBox;
  bool reachable = !container_ || (container_->Visible && container_->Enabled);
  return mouseKind && Visible && Enabled && reachable;
}

bool Control::shown() const {
  return Visible && (!container_ || container_->Visible);
}

void Control::propertyChanging() {
  if (changeDepth_++ > 0)
    return;
  shownBefore_ = shown();
  before_ = windowPixels();
}

void Control::propertyChanged() {
  if (--changeDepth_ > 0)
    return;
  bool shownNow = shown();
  if (!shownBefore_ && !shownNow)
    return;  // nothing on the screen changed
  PixelRect area = shownBefore_ ? before_ : PixelRect{};
  if (shownNow)
    area = area.unite(windowPixels());
  // The two boxes are repainted from the background up, so marks under them are gone: the
  // window keeps none of its drawing, and a label inside a picture box wipes that box's marks.
  if (container_) {
    form_.damage(area);
    PixelRect origin = container_->windowPixels();
    container_->marks().erase({area.x - origin.x, area.y - origin.y, area.w, area.h});
  } else {
    form_.invalidate(area);
  }
}

void Label::propertyChanged() {
  fitCaption();
  Control::propertyChanged();
}

// An auto-sized label is as wide as its caption plus a small margin (so an empty caption is
// still 75 twips wide) and one line high. A right-aligned label grows to the left.
void Label::fitCaption() {
  if (!AutoSize || fitting_)
    return;
  fitting_ = true;
  TextExtent text = form_.env().measureText(Font, Caption.get());
  auto width = static_cast<Twips>((text.width + 5) * kTwipsPerPixel);
  auto height = static_cast<Twips>(text.height * kTwipsPerPixel);
  if (Align == Alignment::Right && width != Width)
    Left = Left + Width - width;
  Width = width;
  Height = height;
  fitting_ = false;
}

namespace {

// The size a control takes from a picture newly assigned to it; an empty picture keeps it.
void fitToPicture(const Picture& p, Property<Twips>& width, Property<Twips>& height) {
  if (p.empty())
    return;
  width = static_cast<Twips>(p.width() * kTwipsPerPixel);
  height = static_cast<Twips>(p.height() * kTwipsPerPixel);
}

}  // namespace

void Image::propertyChanged() {
  if (!(Picture == sizedTo_)) {
    sizedTo_ = Picture;
    fitToPicture(sizedTo_, Width, Height);
  }
  Control::propertyChanged();
}

void PictureBox::propertyChanged() {
  if (!(Picture == sizedTo_)) {
    sizedTo_ = Picture;
    fitToPicture(sizedTo_, Width, Height);
    marks_.clear();  // the new picture is painted over the whole box
    sizeMarks();
  }
  Control::propertyChanged();
}

// The marks layer covers the picture (or, without one, the box).
void PictureBox::sizeMarks() {
  int w = Picture.get().empty() ? toPixels(Width) : Picture.get().width();
  int h = Picture.get().empty() ? toPixels(Height) : Picture.get().height();
  if (w != marks_.width() || h != marks_.height())
    marks_.resize(w, h);
}

void PictureBox::Line(Twips x1, Twips y1, Twips x2, Twips y2) {
  PixelRect touched = marks_.line(toPixels(x1), toPixels(y1), toPixels(x2), toPixels(y2), DrawWidth,
                                  resolve(ForeColor));
  if (!Visible || touched.empty())
    return;
  PixelRect origin = windowPixels();
  form_.damage({origin.x + touched.x, origin.y + touched.y, touched.w, touched.h});
}

void PictureBox::Cls() {
  marks_.clear();
  if (Visible)
    form_.damage(windowPixels());
}

PixelLine LineControl::pixels() const {
  return {toPixels(X1), toPixels(Y1), toPixels(X2), toPixels(Y2), BorderWidth};
}

TwipRect LineControl::box() const {
  const PixelRect p = pixels().bounds();
  auto twips = [](int px) { return static_cast<Twips>(px * kTwipsPerPixel); };
  return {twips(p.x), twips(p.y), twips(p.w), twips(p.h)};
}

Timer::Timer(Form& form, std::string name, int intervalMs)
    : Control(form, Kind::Timer, std::move(name), nullptr), interval_(intervalMs) {
  // Every timer of the game waits, switched off, until the game logic starts it.
  Enabled = false;
}

int Timer::period() const {
  return std::max(interval_, kShortestPeriod);
}

void Timer::propertyChanging() {
  wasEnabled_ = Enabled;
}

// Timers never paint. Only a start matters: it begins a fresh interval from now.
void Timer::propertyChanged() {
  if (Enabled && !wasEnabled_) {
    due_ = form_.env().now() + period();
    ++starts_;
  }
}

}  // namespace forms
