// The window as it is created, before Form_Load runs: every control's position, size, caption,
// colours, font and visibility, the pictures, the about text, and the order in which the
// controls stack.
// This is the one place these numbers live; those the handlers share are named in layout.h.
#include "app/layout.h"

#include <string>

#include "app/form1.h"
#include "assets/resources.h"

namespace {

using forms::Alignment;
using forms::Color;
using forms::Font;
using forms::Label;
using forms::LineControl;

const Color kRed = Color::rgb(255, 0, 0);
const Color kCyan = Color::rgb(0, 255, 255);
const Color kWhite = Color::rgb(255, 255, 255);
const Color kWindowText = Color::system(forms::kWindowText);

// What Label10 shows over the sky when the player clicks ABOUT.
const char* const kAboutText =
    "Tuto hru jsem napsal v roce 2002, abych nějak zabil čas.   Jestli se ti nelíbí, "
    "zastřel autora: je totiž jednou z postaviček, které se pořád schovávají za plotem. "
    "Další moje práce najdeš na http://www.example.com/vombrel/ a e-maily do 100 KB bez "
    "virů mi můžeš posílat na autor@example.org.";

// 8.25 pt is 11 pixels at 96 dpi, 24 pt is 32.
const Font kBold{11, true, false};
const Font kRegular{11, false, false};
const Font kTitle{32, true, true};

forms::Picture picture(const char* name, assets::Pic id) {
  return forms::Picture::fromBytes(name, assets::picture(id));
}

void place(Label& l, float left, float top, float width, float height, const std::string& caption,
           Color color, Font font, Alignment align, bool autoSize) {
  l.Left = left;
  l.Top = top;
  l.Width = width;
  l.Height = height;
  l.ForeColor = color;
  l.Font = font;
  l.Align = align;
  l.AutoSize = autoSize;
  l.Caption = caption;
}

// The button frames: 2 pixels wide, hidden until the mouse is over their button.
void frameLine(LineControl& l, float x1, float y1, float x2, float y2, Color color) {
  l.X1 = x1;
  l.Y1 = y1;
  l.X2 = x2;
  l.Y2 = y2;
  l.BorderColor = color;
  l.BorderWidth = 2;
  l.Visible = false;
}

void store(forms::Image& i, float left, float top, float size, const forms::Picture& pic) {
  i.Left = left;
  i.Top = top;
  i.Width = size;
  i.Height = size;
  i.Picture = pic;
  i.Visible = false;
}

}  // namespace

void Form1::applyLayout() {
  // The window's title and size: the window itself is opened from them.
  Caption = "Vombrel !!!!";
  ClientWidth = forms::toPixels(layout::kWindowWidth);
  ClientHeight = forms::toPixels(layout::kWindowHeight);
  BackColor = kWhite;
  Picture = picture("landscape", assets::Pic::Landscape);
  ForeColor = Color::rgb(0, 128, 0);
  DrawWidth = 5;

  // The status row over the clouds, and the bonus feedback beside the counter.
  place(Label7, 120, 0, 705, 195, "Pokusů:", kRed, kBold, Alignment::Left, true);
  place(Label8, 840, 0, 75, 195, "", kRed, kBold, Alignment::Left, true);
  place(Label12, 1320, 0, 75, 195, "", kRed, kBold, Alignment::Left, true);
  place(Label5, 3600, 0, 540, 195, "Level:", kRed, kBold, Alignment::Left, true);
  place(Label4, 4365, 0, 75, 195, "", kRed, kBold, Alignment::Right, true);
  place(Label3, 3600, 240, 495, 195, "Body:", kRed, kBold, Alignment::Left, true);
  place(Label1, 4380, 240, 75, 195, "", kRed, kBold, Alignment::Right, true);

  // The three buttons on the grass.
  place(Label6, 240, 2745, 1095, 210, "START", kCyan, kBold, Alignment::Center, false);
  place(Label9, 1440, 2745, 1095, 210, "ABOUT", kCyan, kBold, Alignment::Center, false);
  place(Label11, 2640, 2730, 1695, 210, "Ukončit program", kCyan, kBold, Alignment::Center, false);

  // The about text, hidden until ABOUT.
  place(Label10, 120, 120, 4215, 1455, kAboutText, kRed, kRegular, Alignment::Left, false);
  Label10.WordWrap = true;
  Label10.Visible = false;

  // The fence across the window, with the message label inside it.
  Picture1.Left = 0;
  Picture1.Top = layout::kFenceTop;
  Picture1.Width = layout::kWindowWidth;
  Picture1.Height = 900;
  Picture1.Picture = picture("fence", assets::Pic::Fence);
  Picture1.ForeColor = layout::kFencePen;
  Picture1.DrawWidth = 5;
  place(Label2, 0, 120, 4530, 555, "Vombrel !!!!", Color::system(forms::kButtonText), kTitle,
        Alignment::Center, false);

  // The target, resting behind the fence.
  Image2.Left = 1920;
  Image2.Top = layout::kTargetParkedTop;
  Image2.Width = 540;
  Image2.Height = 540;
  Image2.Picture = picture("target_white", assets::Pic::TargetWhite);

  // The bonus item, just outside the left edge, and the picture stores.
  const forms::Picture bird = picture("bird", assets::Pic::Bird);
  const forms::Picture figure3 = picture("figure3", assets::Pic::Figure3);
  const forms::Picture figure3Hit = picture("figure3_hit", assets::Pic::Figure3Hit);
  Image3.Left = layout::kBirdOutOfView;
  Image3.Top = 840;
  Image3.Width = 150;
  Image3.Height = 150;
  Image3.Picture = bird;
  store(Image5, 4920, 1200, 150, bird);
  store(Image4, 4560, 1200, 150, picture("bird_hit", assets::Pic::BirdHit));
  store(Image6, 0, 840, 540, picture("figure1", assets::Pic::Figure1));
  store(Image8, 600, 840, 540, picture("figure1_hit", assets::Pic::Figure1Hit));
  store(Image9, 1200, 240, 540, picture("figure2", assets::Pic::Figure2));
  store(Image10, 1200, 840, 540, picture("figure2_hit", assets::Pic::Figure2Hit));
  store(Image11, 1800, 240, 540, figure3);
  store(Image12, 1800, 840, 540, figure3Hit);
  store(Image7, 0, 240, 540, figure3);
  store(Image1, 600, 240, 540, figure3Hit);

  // Raised frames: light top and left edges, dark bottom and right.
  frameLine(line3, 240, 2640, 1320, 2640, kWhite);
  frameLine(line4, 240, 3000, 240, 2640, kWhite);
  frameLine(line2, 240, 3000, 1320, 3000, kWindowText);
  frameLine(line1, 1320, 3000, 1320, 2640, kWindowText);
  frameLine(Line7, 1440, 2640, 2520, 2640, kWhite);
  frameLine(Line8, 1440, 3000, 1440, 2640, kWhite);
  frameLine(Line6, 1440, 3000, 2520, 3000, kWindowText);
  frameLine(Line5, 2520, 3000, 2520, 2640, kWindowText);
  frameLine(Line10, 4320, 2640, 2640, 2640, kWhite);
  frameLine(Line9, 2640, 2980, 2640, 2640, kWhite);
  frameLine(Line11, 2640, 3000, 4320, 3000, kWindowText);
  frameLine(Line12, 4320, 2980, 4320, 2640, kWindowText);

  // The about panel's backdrop: white with a blue border, so the red text on it stays readable.
  Shape1.Left = 0;
  Shape1.Top = 0;
  Shape1.Width = 4575;
  Shape1.Height = 1575;
  Shape1.FillColor = kWhite;
  Shape1.BorderColor = Color::rgb(0, 0, 255);
  Shape1.Visible = false;

  // Back to front. The picture boxes (Image2 behind Picture1) are child windows and always lie
  // in front of the rest; the stores never show, so their place does not matter.
  setStacking({&Image1,   &Image4, &Image5, &Image6, &Image7, &Image8, &Image9, &Image10, &Image11,
               &Image12,  &Label6, &Label1, &Label3, &Label4, &Label5, &line4,  &line3,   &line2,
               &line1,    &Label7, &Label8, &Shape1, &Line7,  &Line8,  &Label9, &Label10, &Label11,
               &Line5,    &Line6,  &Line9,  &Line10, &Line11, &Line12, &Image3, &Label12, &Image2,
               &Picture1, &Label2, &Timer1, &Timer2, &Timer3, &Timer4, &Timer5, &Timer6,  &Timer7});
}
