// What the window does around the game: the raised and sunken frames of the three button
// labels, the exit label, unloading, shots at the message label Label2, and the window's news.
//
// Each button owns four frame lines. Hovering shows its frame raised (light top and left, dark
// bottom and right) and hides the other two; a press sinks it; moving over the bare window hides
// every frame. At most one frame shows at a time.
#include "app/form1.h"
#include "app/layout.h"
#include "app/my.h"
#include "forms/types.h"

namespace {

const forms::Color kLight = forms::Color::rgb(255, 255, 255);
const forms::Color kDark = forms::Color::system(forms::kWindowText);

struct ButtonFrame {
  forms::LineControl& left;
  forms::LineControl& top;
  forms::LineControl& bottom;
  forms::LineControl& right;

  void colour(forms::Color topLeft, forms::Color bottomRight) {
    left.BorderColor = topLeft;
    top.BorderColor = topLeft;
    bottom.BorderColor = bottomRight;
    right.BorderColor = bottomRight;
  }
  void show(bool visible) {
    left.Visible = visible;
    top.Visible = visible;
    bottom.Visible = visible;
    right.Visible = visible;
  }
};

ButtonFrame frameOf(Form1& f, const forms::Label& button) {
  if (&button == &f.Label6)
    return {f.line4, f.line3, f.line2, f.line1};
  if (&button == &f.Label9)
    return {f.Line8, f.Line7, f.Line6, f.Line5};
  return {f.Line9, f.Line10, f.Line11, f.Line12};
}

void hover(Form1& f, const forms::Label& button) {
  frameOf(f, button).colour(kLight, kDark);
  for (const forms::Label* other : {&f.Label6, &f.Label9, &f.Label11}) {
    frameOf(f, *other).show(other == &button);
  }
}

void press(Form1& f, const forms::Label& button) {
  frameOf(f, button).colour(kDark, kLight);
}

}  // namespace

void Form1::Form_MouseMove(int, int, float, float) {
  for (const forms::Label* button : {&Label6, &Label9, &Label11}) {
    frameOf(*this, *button).show(false);
  }
}

void Form1::Label6_MouseMove(int, int, float, float) {
  hover(*this, Label6);
}
void Form1::Label9_MouseMove(int, int, float, float) {
  hover(*this, Label9);
}
void Form1::Label11_MouseMove(int, int, float, float) {
  hover(*this, Label11);
}

void Form1::Label6_MouseDown(int, int, float, float) {
  press(*this, Label6);
}
void Form1::Label9_MouseDown(int, int, float, float) {
  press(*this, Label9);
}
void Form1::Label11_MouseDown(int, int, float, float) {
  press(*this, Label11);
}

// The exit: the cursor is freed, the window unloads (which frees it once more) and the program
// ends at once; a game in progress is dropped without a word.
void Form1::Label11_Click() {
  My::ReleaseCursor(*this);
  Unload();
  End();
}

// The message on the fence shows between games ("Game over", "Vyhrál jsi"); during a game the
// news is the level, so each new level is said.
std::string Form1::announcement() const {
  if (Label2.Visible)
    return Label2.Caption;
  return Label5.Caption.get() + " " + Label4.Caption.get();
}

void Form1::Form_Unload() {
  My::ReleaseCursor(*this);
}

// Label2 lies over the fence but still takes shots. Its own coordinates are used as the
// fence's, so the mark lands 120 twips above the point pressed, as it always has.
void Form1::Label2_MouseDown(int, int, float X, float Y) {
  oldX = forms::roundEven(X);
  oldY = forms::roundEven(Y);
  if (oldY < layout::kBoardsBottom) {
    Picture1.ForeColor = layout::kFencePen;
  }
  Picture1.Line(oldX, oldY, X, Y);
}

void Form1::Label2_Click() {
  zvuk.PlaySound(assets::Sound::Fence, assets::kSoundType);
}
