// The browser host: the game in a page, on a 2D canvas, with Web Audio, Pointer Lock and a
// <dialog>. The page calls the program back and the program must return, so nothing here waits:
// every DOM event and every timeout calls the game's loop (app/game_loop.h), which asks for the
// next timeout only while a timer of the game runs. An idle page costs nothing. The game's clock
// stands still while the page is hidden; a finger shoots where it touches, with no lock; when
// the program ends, the page says so and offers a new run.
//
//   static platform::web::WebHost host;
//   vombrel::serve(host);   // returns at once; the game starts when its assets have loaded
#pragma once

#include <memory>

#include "platform/host.h"

namespace platform::web {

class WebHost final : public CallbackHost {
 public:
  WebHost();
  ~WebHost() override;

  // Decodes the pictures and fonts on the page, then begins the loop's first run (the form's
  // labels measure their text in the loaded font) and calls the loop from the page's events until
  // the page goes. The host must live as long as the page.
  void serve(Loop& loop) override;
  bool paused() const override;
  void wakeAt(std::optional<forms::Millis> deadline) override;
  void announce(const std::string& news) override;
  void ended() override;

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
