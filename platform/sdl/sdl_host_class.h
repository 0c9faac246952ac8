// The SDL host's one class, for the files that make it up; the program makes it through
// createSdlHost() (sdl_host.h) and nothing else sees it. Its parts by concern:
//
//   sdl_host.cpp         its life: SDL and the window brought up and shut down, the icon, the
//                        sound, the message box
//   sdl_window.cpp       the window and the view: the factor and fullscreen, the frame and the
//                        window's place, painting the scene, the cursor's shape
//   sdl_events.cpp       the events: waiting, mouse and keys translated for the game, the view
//                        keys, the window's own events
//   sdl_confinement.cpp  the cursor kept to the scene (its own class, which the host holds)
#pragma once

#include <SDL.h>

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop/scale.h"
#include "platform/desktop/view_choice.h"
#include "platform/host.h"
#include "platform/sdl/sdl_confinement.h"
#include "platform/sdl/sdl_painter.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sdl_text.h"

namespace platform::sdl {

// Owners of SDL's objects, each freed by its own function.
template <auto Free>
struct FreedBy {
  template <class T>
  void operator()(T* p) const {
    Free(p);
  }
};
using WindowOwner = std::unique_ptr<SDL_Window, FreedBy<SDL_DestroyWindow>>;
using RendererOwner = std::unique_ptr<SDL_Renderer, FreedBy<SDL_DestroyRenderer>>;
using SurfaceOwner = std::unique_ptr<SDL_Surface, FreedBy<SDL_FreeSurface>>;
using CursorOwner = std::unique_ptr<SDL_Cursor, FreedBy<SDL_FreeCursor>>;

// SDL itself, shut down when the object goes if the video was ever brought up.
struct SdlRunning {
  bool video = false;
  SdlRunning() = default;
  SdlRunning(const SdlRunning&) = delete;
  SdlRunning& operator=(const SdlRunning&) = delete;
  ~SdlRunning() {
    if (video) {
      SDL_Quit();
    }
  }
};

// SDL's last error, or a word that there was none.
std::string sdlError();

class SdlHost final : public BlockingHost {
 public:
  explicit SdlHost(desktop::ViewChoices choices) : choices_(std::move(choices)) {}
  ~SdlHost() override;

  Status open(const WindowSetup& setup) override;
  void show() override;
  HostEvent wait(std::optional<forms::Millis> deadline) override;
  void render(const forms::Frame& frame) override;
  void playSound(std::span<const std::uint8_t> wav) override;
  void clipCursor(std::optional<ClipRect> rect) override;
  void messageBox(const std::string& title, const std::string& text) override;

  forms::Millis now() const override { return clock_.now(); }
  float Rnd() override { return random_.next(); }
  forms::TextExtent measureText(const forms::Font& font, std::string_view utf8) const override {
    return fonts_.measure(font, utf8);
  }
  forms::WindowRect windowRect() const override;
  forms::ScreenInfo screen() const override;

 private:
  // sdl_host.cpp
  Status initVideo();
  void loadIcon(std::span<const std::uint8_t> ico);

  // sdl_window.cpp
  desktop::FactorLimits limits() const;
  desktop::Rect usableArea() const;
  desktop::Rect clientRect() const;
  bool followFrame();
  void applyChoice(desktop::Choice choice);
  bool followWindowSize();
  static int watchSize(void* host, SDL_Event* e);
  Status paintInto();
  void present(const forms::PixelRect& damage);
  void updateCursor();
  void loadCursor();
  double twipsPerPixel() const;

  // sdl_events.cpp
  std::optional<HostEvent> translate(const SDL_Event& e);
  std::optional<HostEvent> button(const SDL_MouseButtonEvent& e);
  std::optional<HostEvent> windowEvent(const SDL_WindowEvent& e);
  std::optional<HostEvent> mouse(forms::MouseInput::Type type, int button, Sint32 x,
                                 Sint32 y) const;
  void press(const SDL_Keysym& key);

  Clock clock_;
  forms::RandomSequence random_;
  mutable sdl::Fonts fonts_;
  desktop::ViewChoices choices_;

  // SDL's objects go in the reverse of this order when the host does: the sound's thread first,
  // then the textures, the cursors, the renderer and the window, and SDL itself last.
  SdlRunning sdl_;
  WindowOwner window_;
  SurfaceOwner sceneSurface_;  // the scene's part of the window's pixels
  RendererOwner renderer_;
  CursorOwner gunSight_;
  CursorOwner arrow_;
  std::unique_ptr<sdl::Painter> painter_;
  std::optional<sdl::Sound> sound_;

  desktop::Size scene_;   // the form's client area, in the game's pixels
  desktop::View view_;    // where and how big the scene is in the window now
  desktop::Frame frame_;  // what the window manager draws around the window, once it has
  bool fullscreen_ = false;
  bool placed_ = false;  // shown and framed: the window's place is its own from then on
  // Where the window stood before fullscreen, in client pixels of the screen: leaving gives it
  // back there.
  std::optional<desktop::Rect> windowed_;
  std::span<const std::uint8_t> cursorImage_;
  forms::Frame lastFrame_;  // the whole scene, painted again when the view changes
  // SDL has dropped the window's pixels: it does so the moment it learns of a new size (or of
  // the same size again), well before that event comes out of the queue.
  std::atomic<bool> pixelsGone_ = false;
  SDL_Cursor* shownCursor_ = nullptr;
  std::vector<forms::PixelRect> arrowAreas_;

  // Made with the window, and gone before it: the cursor is let go while the window is there.
  std::optional<sdl::Confinement> confinement_;
  bool hangUpTaken_ = false;
};

}  // namespace platform::sdl
