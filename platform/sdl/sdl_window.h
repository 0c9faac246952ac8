// The SDL host's window as the player sees it: the scene drawn by SDL's software renderer straight
// into the window's pixels at the scene's whole factor, the whole window or, fullscreen, the
// middle of the screen with black around it (platform/desktop/scale.h), as in any size a
// compositor imposes (a tile, a maximised window); the factor the screen
// allows with the window manager's frame on it too; the window's place kept through a new size
// and through fullscreen; the gun sight or the arrow over it. The view's keys are answered here
// and never reach the game: F11 and Alt+Enter for fullscreen, Ctrl+plus, minus and 0 for the
// window's size (platform/desktop/view_choice.h). Only what changed is drawn and sent to the
// screen, so a big window costs little more than a small one.
//
//   sdl::WindowView view(std::move(choices), fonts);
//   if (Status st = view.open(setup); !st.ok()) fail(st);   // hidden, at the player's choice
//   view.show();
//   view.render(frame);
//   ...for each event:
//   if (view.followSize()) confinement.follow();   // the window system gave it a new size
//   if (view.keyPressed(key)) confinement.follow();
//   desktop::ScenePoint p = view.toScene(x, y);    // the game's pixels; p.inside: not the border
#pragma once

#include <SDL.h>

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "forms/draw_list.h"
#include "platform/desktop/scale.h"
#include "platform/desktop/view_choice.h"
#include "platform/host.h"
#include "platform/sdl/sdl_painter.h"
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
using TextureOwner = std::unique_ptr<SDL_Texture, FreedBy<SDL_DestroyTexture>>;

class WindowView {
 public:
  WindowView(desktop::ViewChoices choices, Fonts& fonts)
      : choices_(std::move(choices)), fonts_(fonts) {}
  ~WindowView();
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;

  // Makes the window, hidden, at the choice the program opens with; SDL's video must be up.
  Status open(const WindowSetup& setup);
  // Shows it, and chooses the factor again once the window manager's frame is known.
  void show();
  // Takes the window away at once, before the sound has drained and the window is destroyed.
  void hide();
  void render(const forms::Frame& frame);
  // After the window system changed the window's size (fullscreen, a factor, a window manager of
  // its own mind), paints the whole scene at the new size: true when it did.
  bool followSize();
  // A key went down: true when the view changed for it.
  bool keyPressed(const SDL_Keysym& key);
  // The window has moved: a window that opened fullscreen learns its frame once it leaves it.
  void moved();
  // Sends the window's pixels again: SDL's own decorations show only with a new picture.
  void present();
  // The cursor over the point under the pointer: the gun sight, or the arrow over the picture
  // boxes and the black border.
  void updateCursor();

  SDL_Window* window() const { return window_.get(); }
  const desktop::View& view() const { return view_; }
  desktop::ScenePoint toScene(int clientX, int clientY) const {
    return view_.toScene(clientX, clientY);
  }
  forms::WindowRect windowRect() const;
  forms::ScreenInfo screen() const;

 private:
  desktop::FactorLimits limits() const;
  desktop::Rect usableArea() const;
  desktop::Rect clientRect() const;
  bool followFrame();
  void apply(desktop::Choice choice);
  void moveClientTo(int x, int y);
  // A rectangle in the window's units as the window's pixels.
  desktop::Rect dense(desktop::Rect r) const;
  static int watchSize(void* view, SDL_Event* e);
  Status paintInto();
  SDL_Surface* windowPixels(desktop::Size size);
  void sendToScreen(const SDL_Rect* area);
  void presentDamage(const forms::PixelRect& damage);
  void loadCursor();

  desktop::ViewChoices choices_;
  Fonts& fonts_;
  WindowOwner window_;
  // On Wayland only: the window's pixels, of the game's own, and what sends them to the screen.
  RendererOwner screen_;
  TextureOwner shown_;
  SurfaceOwner canvas_;
  SurfaceOwner sceneSurface_;  // the scene's part of the window's pixels
  RendererOwner renderer_;
  CursorOwner gunSight_;
  CursorOwner arrow_;
  std::unique_ptr<Painter> painter_;
  std::span<const std::uint8_t> cursorImage_;
  SDL_Cursor* shownCursor_ = nullptr;
  std::vector<forms::PixelRect> arrowAreas_;
  forms::Frame lastFrame_;  // the whole scene, painted again when the view changes

  desktop::Size scene_;   // the form's client area, in the game's pixels
  desktop::View view_;    // where and how big the scene is in the window now
  int density_ = 1;       // the window's pixels to each of its units: the output's scale
  desktop::Frame frame_;  // what the window manager draws around the window, once it has
  bool fullscreen_ = false;
  bool wayland_ = false;
  desktop::Rect asked_;  // the window's client area as last asked for, out of fullscreen
  int askAgain_ = 0;     // how many times more it is asked for when the window has another
  bool placed_ = false;  // shown and framed: the window's place is its own from then on
  // Where the window stood before fullscreen, in client pixels of the screen: leaving gives it
  // back there.
  std::optional<desktop::Rect> windowed_;
  // SDL has dropped the window's pixels: it does so the moment it learns of a new size (or of
  // the same size again), well before that event comes out of the queue.
  std::atomic<bool> pixelsGone_ = false;
};

}  // namespace platform::sdl
