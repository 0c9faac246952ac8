// The browser host: the game in a page, on a 2D canvas, with Web Audio, Pointer Lock and a
// <dialog>. The page calls the program back and the program must return, so nothing here waits:
// every DOM event and every timeout runs one turn of the session and schedules the next timeout
// only while a timer of the game runs. An idle page costs nothing. The game's clock stands still
// while the page is hidden; a finger shoots where it touches, with no lock; when the program
// ends, the page says so and offers a new run, made from the same form maker.
//
//   static platform::web::WebHost host;
//   host.play([](platform::GameServices& s) { return std::make_unique<Form1>(s); },
//             {icon, cursor});   // returns at once; the game starts when its assets have loaded
#pragma once

#include <functional>
#include <memory>

#include "forms/form.h"
#include "platform/host.h"
#include "platform/session.h"

namespace platform::web {

class WebHost final : public Host {
 public:
  WebHost();
  ~WebHost() override;

  using FormMaker = std::function<std::unique_ptr<forms::Form>(GameServices&)>;

  // Decodes the pictures and fonts on the page, then makes the form (its labels measure
  // their text in the loaded font), starts its session and answers the page's events until the
  // page goes. The host must live as long as the page.
  void play(FormMaker makeForm, Session::Chrome chrome);

  Status open(const WindowSetup& setup) override;
  void show() override {}  // the canvas is on the page from the start
  void render(const forms::Frame& frame) override;
  void playSound(std::span<const std::uint8_t> wav) override;
  void clipCursor(std::optional<ClipRect> rect) override;
  void messageBox(const std::string& title, const std::string& text) override;

  forms::Millis now() const override;
  float Rnd() override;
  forms::TextExtent measureText(const forms::Font& font, std::string_view utf8) const override;
  forms::WindowRect windowRect() const override;
  forms::ScreenInfo screen() const override;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace platform::web
