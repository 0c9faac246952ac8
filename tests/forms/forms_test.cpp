// Unit tests of the forms runtime on the headless host: mouse routing, click and double click,
// timers, numeric captions, marks and painting, auto-sized labels and the random source.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "forms/captions.h"
#include "forms/form.h"
#include "forms/word_wrap.h"
#include "platform/headless/headless_host.h"

namespace {

using forms::Alignment;
using forms::MouseArgs;

// The smallest BMP header the runtime sizes a picture from: width at 18, height at 22.
std::array<std::uint8_t, 26> bmpHeader(int w, int h) {
  std::array<std::uint8_t, 26> b{};
  b[0] = 'B';
  b[1] = 'M';
  b[18] = static_cast<std::uint8_t>(w);
  b[19] = static_cast<std::uint8_t>(w >> 8);
  b[22] = static_cast<std::uint8_t>(h);
  b[23] = static_cast<std::uint8_t>(h >> 8);
  return b;
}
const auto kFenceBytes = bmpHeader(304, 60);

// A window shaped like the game's: labels overlapping near the top, an image, a line and a
// shape over part of them, a fence-like picture box at Top 1560 holding a label at (0, 120),
// a target picture box behind it, and two timers. Every event is logged by name.
class TestForm : public forms::Form {
 public:
  explicit TestForm(forms::Environment& env) : Form(env) {
    ClientWidth = 304;
    ClientHeight = 213;
    place(Back, 0, 0, 1500, 300);
    place(Front, 750, 0, 1500, 300);
    Img.Left = 0;
    Img.Top = 600;
    Img.Width = 600;
    Img.Height = 600;
    Bar.X1 = 0;
    Bar.Y1 = 900;
    Bar.X2 = 3000;
    Bar.Y2 = 900;
    Panel.Left = 2400;
    Panel.Top = 600;
    Panel.Width = 1200;
    Panel.Height = 600;
    Fence.Picture = forms::Picture::fromBytes("fence", kFenceBytes);
    Fence.Top = 1560;
    Fence.DrawWidth = 5;
    Target.Left = 1920;
    Target.Top = 1200;
    Target.Width = 540;
    Target.Height = 540;
    place(Message, 0, 120, 4530, 555);
    DrawWidth = 5;
    ForeColor = forms::Color::rgb(0, 128, 0);
    setStacking({&Back, &Front, &Img, &Bar, &Panel, &Target, &Fence, &Message, &Fast, &Slow});

    MouseDown = log("Form.MouseDown");
    Click = [this] { events.push_back("Form.Click"); };
    for (forms::Control* c : std::initializer_list<forms::Control*>{
             &Back, &Front, &Img, &Bar, &Panel, &Target, &Fence, &Message}) {
      c->MouseDown = log(c->name() + ".MouseDown");
      c->MouseMove = log(c->name() + ".MouseMove");
      c->Click = [this, c] { events.push_back(c->name() + ".Click"); };
      c->DblClick = [this, c] { events.push_back(c->name() + ".DblClick"); };
    }
  }

  forms::Label Back{*this, "Back"}, Front{*this, "Front"};
  forms::Image Img{*this, "Img"};
  forms::LineControl Bar{*this, "Bar"};
  forms::Shape Panel{*this, "Panel"};
  forms::PictureBox Target{*this, "Target"}, Fence{*this, "Fence"};
  forms::Label Message{*this, "Message", &Fence};
  forms::Timer Fast{*this, "Fast", 1}, Slow{*this, "Slow", 100};
  std::vector<std::string> events;

 private:
  static void place(forms::Label& l, float left, float top, float width, float height) {
    l.Left = left;
    l.Top = top;
    l.Width = width;
    l.Height = height;
  }
  forms::MouseHandler log(std::string what) {
    return [this, what](const MouseArgs& a) {
      events.push_back(what + "(" + forms::textOf(a.X) + "," + forms::textOf(a.Y) + ")");
    };
  }
};

class FormsTest : public ::testing::Test {
 protected:
  headless::HeadlessHost host;
  TestForm form{host};
  headless::Driver play{form, host};
  using Events = std::vector<std::string>;

  Events take() { return std::exchange(form.events, {}); }
};

TEST_F(FormsTest, PressesReachTheFrontMostControlThatTakesTheMouse) {
  play.press(900, 150);  // where Front overlaps Back
  EXPECT_EQ(take(), Events{"Front.MouseDown(150,150)"});
  form.Front.Visible = false;
  play.press(900, 150);
  EXPECT_EQ(take(), Events{"Back.MouseDown(900,150)"});
  form.Back.Enabled = false;
  play.press(900, 150);
  EXPECT_EQ(take(), Events{"Form.MouseDown(900,150)"});
  // The line crosses the image and the shape lies on the bare window: neither takes the mouse.
  play.press(300, 900);
  play.press(3000, 900);
  EXPECT_EQ(take(), (Events{"Img.MouseDown(300,300)", "Form.MouseDown(3000,900)"}));
}

TEST_F(FormsTest, PictureBoxesLieInFrontAndHoldTheirLabelAtContainerCoordinates) {
  // Target is registered behind Fence, Fence's label in front of Fence's picture.
  play.press(2000, 1600);
  play.press(2000, 1800);
  play.press(2000, 1300);
  EXPECT_EQ(take(), (Events{"Fence.MouseDown(2000,40)", "Message.MouseDown(2000,120)",
                            "Target.MouseDown(80,100)"}));
  form.Message.Visible = false;
  play.press(2000, 1800);
  form.Fence.Enabled = false;
  play.press(2000, 1600);  // goes through the fence to the target behind it
  EXPECT_EQ(take(), (Events{"Fence.MouseDown(2000,240)", "Target.MouseDown(80,400)"}));
  form.Message.Visible = true;
  play.press(2000, 1800);  // a label in a disabled box is out of reach too
  EXPECT_EQ(take(), Events{"Form.MouseDown(2000,1800)"});
}

TEST_F(FormsTest, ClickDoubleClickAndReleaseCapture) {
  play.click(300, 150);
  EXPECT_EQ(take(), (Events{"Back.MouseDown(300,150)", "Back.Click"}));
  play.doubleClick(300, 150);
  EXPECT_EQ(take(), (Events{"Back.MouseDown(300,150)", "Back.Click", "Back.MouseDown(300,150)",
                            "Back.DblClick"}));
  // A double click's second press on another control is a press of its own.
  play.click(300, 150);
  form.mouse({forms::MouseInput::Type::Down, 1, 0, 1000 / 15.0, 10, true});
  play.release(1000, 150);
  EXPECT_EQ(take(), (Events{"Back.MouseDown(300,150)", "Back.Click", "Front.MouseDown(250,150)",
                            "Front.Click"}));
  play.move(900, 150);
  EXPECT_EQ(take(), Events{"Front.MouseMove(150,150)"});
}

TEST_F(FormsTest, AReleaseClicksOnlyWhatTookThePressAndStillLiesUnderThePointer) {
  // Pressed on one control, released on another or on the bare window: no Click anywhere.
  play.press(300, 150);
  play.release(900, 150);
  play.press(300, 150);
  play.release(4000, 3000);
  play.press(4000, 3000);
  play.release(300, 150);
  EXPECT_EQ(take(), (Events{"Back.MouseDown(300,150)", "Back.MouseDown(300,150)",
                            "Form.MouseDown(4000,3000)"}));
  // Dragged within the control, or pressed and released on the bare window: a Click.
  play.press(100, 100);
  play.release(700, 250);
  play.press(4000, 3000);
  play.release(4100, 2900);
  EXPECT_EQ(take(), (Events{"Back.MouseDown(100,100)", "Back.Click", "Form.MouseDown(4000,3000)",
                            "Form.Click"}));
  // The target sinks behind the fence while the button is held: the fence is under the pointer
  // at the release, and the fence took no press.
  play.press(2000, 1300);
  form.Target.Top = 1560;
  play.release(2000, 1600);
  // Disabled while held: out of reach at the release.
  form.Target.Top = 1200;
  play.press(2000, 1500);
  form.Target.Enabled = false;
  play.release(2000, 1500);
  EXPECT_EQ(take(), (Events{"Target.MouseDown(80,100)", "Target.MouseDown(80,300)"}));
}

TEST_F(FormsTest, NothingRunsAfterUnload) {
  int unloads = 0;
  form.UnloadEvent = [&] { ++unloads; };
  form.Slow.Enabled = true;
  play.close();
  form.Unload();
  EXPECT_EQ(unloads, 1);
  EXPECT_TRUE(form.ended());
  EXPECT_FALSE(form.nextTimerDue());
  play.click(300, 150);
  EXPECT_EQ(take(), Events{});
}

TEST_F(FormsTest, TimersKeepTheirIntervalWithoutBurstOrDrift) {
  int fast = 0, slow = 0;
  form.Fast.Tick = [&] { ++fast; };
  form.Slow.Tick = [&] { ++slow; };
  form.Fast.Enabled = true;  // 1 ms runs at 55 ms
  play.advance(550);
  EXPECT_EQ(fast, 10);
  form.Fast.Enabled = false;

  const forms::Millis t0 = host.now();
  form.Slow.Enabled = true;  // due 100 ms from now
  play.advance(50);
  form.Slow.Enabled = true;  // already running: nothing changes
  EXPECT_EQ(form.nextTimerDue(), t0 + 100);
  form.Slow.Enabled = false;
  form.Slow.Enabled = true;  // a fresh start: due 100 ms from now
  EXPECT_EQ(form.nextTimerDue(), t0 + 150);

  host.setNow(t0 + 375);  // late: one tick, and the grid of +150, +250, +350 ... holds
  form.runDueTimers();
  EXPECT_EQ(slow, 1);
  EXPECT_EQ(form.nextTimerDue(), t0 + 450);

  form.Slow.Tick = [&] {
    ++slow;
    form.Slow.Enabled = false;
  };
  play.advance(1000);
  EXPECT_EQ(slow, 2);
  EXPECT_FALSE(form.nextTimerDue());
}

TEST_F(FormsTest, NumericCaptions) {
  EXPECT_EQ(forms::numberOf(""), 0);
  EXPECT_EQ(forms::numberOf("START"), 0);
  EXPECT_EQ(forms::numberOf("nan"), 0);
  EXPECT_EQ(forms::numberOf("-10"), -10);
  EXPECT_EQ(forms::numberOf("+05"), 5);
  EXPECT_EQ(forms::textOf(0), "0");
  EXPECT_EQ(forms::textOf(-0.0), "0");
  EXPECT_EQ(forms::textOf(forms::numberOf("") + 10), "10");
  EXPECT_EQ(forms::textOf(-10), "-10");
  EXPECT_EQ(forms::textOf(120), "120");
  EXPECT_EQ(forms::textOf(0.5), "0.5");
  EXPECT_EQ(forms::textOf(1e6), "1000000");
  // Shortest text that reads back the same, whatever the toolchain.
  EXPECT_EQ(forms::textOf(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(forms::textOf(-2.5e20), "-2.5e+20");
  EXPECT_EQ(forms::textOf(999999999999999.0), "999999999999999");
}

TEST_F(FormsTest, ShotMarksAreRoundDotsThatRepaintsErase) {
  play.load();
  ASSERT_TRUE(host.lastFrame());
  EXPECT_EQ(host.lastFrame()->damage, (forms::PixelRect{0, 0, 304, 213}));

  form.Line(150, 150, 150, 150);  // one point: a 5-px dot at pixel (10, 10)
  const forms::MarksLayer& marks = form.marks();
  int dot = 0;
  for (int y = 8; y <= 12; ++y) {
    for (int x = 8; x <= 12; ++x)
      dot += marks.isMarked(x, y);
  }
  EXPECT_EQ(dot, 21);
  EXPECT_FALSE(marks.isMarked(8, 8));
  EXPECT_FALSE(marks.isMarked(12, 12));
  EXPECT_EQ(marks.at(10, 10), (forms::Rgb{0, 128, 0}));
  EXPECT_EQ(form.paint().damage, (forms::PixelRect{8, 8, 5, 5}));

  form.Line(3000, 150, 3000, 150);  // outside every control
  form.Panel.Visible = false;       // hiding a control wipes the marks under it...
  form.Back.Caption = "Body:";      // ...and so does a new caption
  EXPECT_FALSE(marks.isMarked(10, 10));
  EXPECT_TRUE(marks.isMarked(200, 10));
  form.Line(150, 150, 150, 150);
  form.Panel.Left = 0;  // changes to a hidden control repaint nothing
  EXPECT_TRUE(marks.isMarked(10, 10));

  // The fence keeps marks of its own; moving a picture box wipes the window's marks under it.
  form.Fence.Line(150, 30, 150, 30);
  EXPECT_TRUE(form.Fence.marks().isMarked(10, 2));
  EXPECT_FALSE(marks.isMarked(10, 106));
  form.Fence.Top = 0;
  EXPECT_FALSE(marks.isMarked(10, 10));
  EXPECT_TRUE(form.Fence.marks().isMarked(10, 2));
  form.Fence.Line(150, 300, 150, 300);  // under the label inside the fence
  form.Message.Caption = "Game over";
  EXPECT_FALSE(form.Fence.marks().isMarked(10, 20));
  EXPECT_TRUE(form.Fence.marks().isMarked(10, 2));
  form.Line(37.5, 37.5, 37.5, 37.5);  // 2.5 px rounds to 2: the dot spans pixels 0 to 4
  EXPECT_TRUE(marks.isMarked(0, 2));
  EXPECT_FALSE(marks.isMarked(5, 2));
  form.Fence.Cls();
  form.Cls();
  EXPECT_TRUE(form.Fence.marks().blank());
  EXPECT_TRUE(marks.blank());

  // Uncovered by another window: the window's marks are gone and all of it is painted again;
  // the fence, a window of its own that keeps its drawing, keeps its marks.
  form.Line(150, 150, 150, 150);
  form.Fence.Line(150, 30, 150, 30);
  form.paint();
  form.exposed();
  EXPECT_TRUE(marks.blank());
  EXPECT_TRUE(form.Fence.marks().isMarked(10, 2));
  EXPECT_EQ(form.paint().damage, (forms::PixelRect{0, 0, 304, 213}));
}

TEST_F(FormsTest, AutoSizedLabelsFitTheirCaption) {
  form.Back.Font = forms::Font{11, true, false};
  form.Back.AutoSize = true;
  EXPECT_EQ(form.Back.Width, 75.0f);  // an empty caption
  EXPECT_EQ(form.Back.Height, 195.0f);
  form.Back.Caption = "Level:";  // 6 characters, 7 px each in the headless host's bold font
  EXPECT_EQ(form.Back.Width, (6 * 7 + 5) * 15.0f);
  EXPECT_EQ(form.Back.Left, 0.0f);

  form.Front.Left = 4380;
  form.Front.Width = 75;
  form.Front.Align = Alignment::Right;
  form.Front.AutoSize = true;
  EXPECT_EQ(form.Front.Left + form.Front.Width, 4455.0f);
  form.Front.Caption = "100";
  EXPECT_EQ(form.Front.Left + form.Front.Width, 4455.0f);
  EXPECT_EQ(form.Front.Width, (3 * 6 + 5) * 15.0f);
}

TEST_F(FormsTest, PaintingFollowsTheStackingOrder) {
  form.Back.Caption = "Back";
  form.Front.Caption = "Front";
  form.Front.Visible = false;
  form.Message.Caption = "Vombrel !!!!";
  form.Img.Picture = form.Fence.Picture;  // shared, and the image takes the picture's size
  EXPECT_EQ(form.Img.Picture.get(), form.Fence.Picture.get());
  EXPECT_EQ(form.Img.Width, 4560.0f);

  const forms::Frame frame = form.paint();
  EXPECT_EQ(frame.arrowCursorAreas.back(), (forms::PixelRect{0, 104, 304, 60}));
  std::vector<std::string> order;
  for (const auto& c : frame.commands) {
    if (auto* t = std::get_if<forms::DrawTextRun>(&c))
      order.push_back(t->text);
    if (auto* p = std::get_if<forms::DrawPicture>(&c))
      order.push_back("picture at " + forms::textOf(p->y));
    if (auto* m = std::get_if<forms::DrawMarks>(&c))
      order.push_back(m->layer == &form.marks() ? "window marks" : "box marks");
    if (std::holds_alternative<forms::DrawLine>(c))
      order.push_back("line");
    if (std::holds_alternative<forms::OutlineRect>(c))
      order.push_back("shape");
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"Back", "picture at 40", "line", "shape", "window marks",
                                      "box marks", "picture at 104", "box marks", "Vombrel !!!!"}));
  EXPECT_FALSE(form.needsPaint());
}

TEST(RandomSequence, StartsWhereTheGameAlwaysStarts) {
  forms::RandomSequence r;
  EXPECT_FLOAT_EQ(r.next(), 11837123 / 16777216.0f);
  EXPECT_FLOAT_EQ(r.next(), 8949370 / 16777216.0f);
  EXPECT_FLOAT_EQ(r.next(), 9722709 / 16777216.0f);
  EXPECT_FLOAT_EQ(r.next(), 4858052 / 16777216.0f);

  headless::HeadlessHost host;
  host.queueRnd({0.25f});
  EXPECT_EQ(host.Rnd(), 0.25f);
  EXPECT_FLOAT_EQ(host.Rnd(), 0.7055475f);
}

}  // namespace

namespace {

// Every byte one pixel wide, so widths read off the text.
int bytes(std::string_view s) {
  return static_cast<int>(s.size());
}

TEST(WordWrap, SpacesAtABreakEndTheLineAndNeverStartTheNext) {
  // "Ahoj." fits in 6 pixels; its three spaces do not count and stay on its line.
  EXPECT_EQ(forms::wrapWords("Ahoj.   Jak se máš", 6, bytes), "Ahoj.   \nJak se \nmáš");
  EXPECT_EQ(forms::wrapWords("Ahoj.   Jak se máš", 100, bytes), "Ahoj.   Jak se máš");
  // A word wider than the line gets a line of its own; an own newline is kept.
  EXPECT_EQ(forms::wrapWords("a verylongword b\ncd", 5, bytes), "a \nverylongword \nb\ncd");
  EXPECT_EQ(forms::wrapWords("", 5, bytes), "");
}

}  // namespace
