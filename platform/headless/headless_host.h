// A host without a screen, speakers or mouse, for tests: time stands still until the test moves
// it, random numbers come from the game's fixed sequence (or from a script), and everything the
// game asks of the machine is recorded for the test to read.
//
//   headless::HeadlessHost host;              // clock at 0, window at (1500, 1200) twips
//   TestForm form(host);                      // any forms::Form built on the host
//   headless::Driver play(form, host);
//   play.load();                              // Load event, first frame rendered
//   play.advance(400);                        // runs every timer due in the next 400 ms
//   play.click(2000, 1200);                   // press and release at window twips (2000, 1200)
//   EXPECT_EQ(host.sounds().size(), 1u);
//
// HeadlessHost
//   Clock: now() starts at 0 and moves only by setNow(ms) or advance(ms) (or wait(), below).
//   Rnd(): the game's unseeded sequence (forms::RandomSequence); queueRnd() puts scripted values
//     in front of it, handed out first, in order.
//   Text: measureText() gives every character (UTF-8 code point) an advance of
//     round(pixelSize * 6 / 11) pixels, one more when bold: 6 px for the default 11-px font,
//     7 px bold; the line height is pixelSize + 2 (13 px for the default font).
//   Window and screen: windowRect() is (1500, 1200, 4650, 3570) twips and screen() 1024 x 768
//     pixels at 15 twips per pixel until setWindowRect()/setScreen() change them.
//   wait(deadline): hands out queueEvent()'d events first; with none, moves the clock to the
//     deadline (if later) and returns Timeout; with no deadline either, returns CloseRequest,
//     as a test that has run out of input is over.
//   Records: sounds() (a copy of the bytes of every playSound call), clips() (every clipCursor
//     argument, nullopt for a release), messageBoxes() (title and text of each box, which
//     "closes" at once), lastFrame() and renderCount(), showCount(), setup() (what open() got).
//
// Driver: plays a form on a HeadlessHost through the same session (platform/session.h) as the
// real program's loop, optionally with the window's icon and cursor. Coordinates are window twips,
// as the game's handlers see them; after every input or step of time it runs the timers that are
// due and renders a frame if anything changed.
//   load()                         opens the window, form.Load(), then the first frame
//   move(x, y)                     a mouse move
//   press(x, y, button, shift)     a button goes down
//   release(x, y, button, shift)   it comes up (the press's control gets the Click)
//   click(x, y, button, shift)     press and release at the same point
//   doubleClick(x, y, ...)         press, release, press as a double click's second, release
//   advance(ms) / advanceTo(ms)    moves the clock from timer deadline to timer deadline up to
//                                  the given time, running the due timers at each (no polling)
//   expose()                       part of the window is uncovered
//   close()                        the close box
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "forms/environment.h"
#include "forms/form.h"
#include "platform/host.h"
#include "platform/session.h"

namespace headless {

struct MessageBoxCall {
  std::string title;
  std::string text;
  friend bool operator==(const MessageBoxCall&, const MessageBoxCall&) = default;
};

class HeadlessHost : public platform::BlockingHost {
 public:
  // --- forms::Environment ---
  forms::Millis now() const override { return now_; }
  float Rnd() override;
  forms::TextExtent measureText(const forms::Font& font, std::string_view utf8) const override;
  forms::WindowRect windowRect() const override { return window_; }
  forms::ScreenInfo screen() const override { return screen_; }

  // --- platform::Host, platform::BlockingHost ---
  platform::Status open(const platform::WindowSetup& setup) override;
  void show() override { ++shows_; }
  platform::HostEvent wait(std::optional<forms::Millis> deadline) override;
  void render(const forms::Frame& frame) override;
  void playSound(std::span<const std::uint8_t> wav) override;
  void clipCursor(std::optional<platform::ClipRect> rect) override { clips_.push_back(rect); }
  void messageBox(const std::string& title, const std::string& text) override;

  // --- what the test sets ---
  void setNow(forms::Millis ms) { now_ = ms; }
  void advance(forms::Millis ms) { now_ += ms; }
  void queueRnd(std::vector<float> values);
  void queueEvent(platform::HostEvent event) { events_.push_back(std::move(event)); }
  void setWindowRect(const forms::WindowRect& r) { window_ = r; }
  void setScreen(const forms::ScreenInfo& s) { screen_ = s; }

  // --- what the test reads ---
  const std::vector<std::vector<std::uint8_t>>& sounds() const { return sounds_; }
  const std::vector<std::optional<platform::ClipRect>>& clips() const { return clips_; }
  const std::vector<MessageBoxCall>& messageBoxes() const { return boxes_; }
  // The last frame rendered; its DrawMarks point into the form, so read it while the form lives.
  const std::optional<forms::Frame>& lastFrame() const { return lastFrame_; }
  int renderCount() const { return renders_; }
  int showCount() const { return shows_; }
  const std::optional<platform::WindowSetup>& setup() const { return setup_; }

 private:
  forms::Millis now_ = 0;
  forms::RandomSequence random_;
  std::deque<float> scriptedRnd_;
  std::deque<platform::HostEvent> events_;
  forms::WindowRect window_{1500, 1200, 4650, 3570};
  forms::ScreenInfo screen_{1024.0 * forms::kTwipsPerPixel, 768.0 * forms::kTwipsPerPixel,
                            forms::kTwipsPerPixel, forms::kTwipsPerPixel};

  std::optional<platform::WindowSetup> setup_;
  std::vector<std::vector<std::uint8_t>> sounds_;
  std::vector<std::optional<platform::ClipRect>> clips_;
  std::vector<MessageBoxCall> boxes_;
  std::optional<forms::Frame> lastFrame_;
  int renders_ = 0;
  int shows_ = 0;
};

class Driver {
 public:
  // `chrome`: the icon and cursor the window opens with, as the program passes them.
  Driver(forms::Form& form, HeadlessHost& host, platform::Session::Chrome chrome = {})
      : form_(form), host_(host), session_(host, form, chrome) {}

  platform::Status load();
  void move(double xTwips, double yTwips);
  void press(double xTwips, double yTwips, int button = 1, int shift = 0);
  void release(double xTwips, double yTwips, int button = 1, int shift = 0);
  void click(double xTwips, double yTwips, int button = 1, int shift = 0);
  void doubleClick(double xTwips, double yTwips, int button = 1, int shift = 0);
  void advance(forms::Millis ms) { advanceTo(host_.now() + ms); }
  void advanceTo(forms::Millis ms);
  void expose();
  void close();

 private:
  void send(forms::MouseInput::Type type, double x, double y, int button, int shift,
            bool doubleClick = false);

  forms::Form& form_;
  HeadlessHost& host_;
  platform::Session session_;
};

}  // namespace headless
