// The Win32 host's window as the player sees it: a window of the scene at a whole factor, or a
// popup over the whole monitor with the scene centred on black (platform/desktop/scale.h), the
// back buffer it is painted from, and the gun sight or the arrow over it. The view's keys are
// answered here and never reach the game: F11 and Alt+Enter for fullscreen, Ctrl+plus, minus and
// 0 for the window's size (platform/desktop/view_choice.h).
//
// The largest factor leaves room on the monitor's work area for the frame; a new size keeps the
// window's centre, moved only as far as the work area needs; leaving fullscreen gives the window
// back at its size and place, in one move, so that a window manager still busy leaving
// fullscreen cannot keep a screen-sized window.
//
//   win32::WindowView view(window, scene, dpi, std::move(choices), fonts);
//   if (!view.start()) fail();            // the choice the program opens with
//   ...in the window procedure:
//   if (view.keyPressed(w, l)) return 0;  // WM_KEYDOWN, WM_SYSKEYDOWN
//   view.paint();                         // WM_PAINT
//   if (view.setCursor()) return TRUE;    // WM_SETCURSOR over the client area
//   ...and for the game:
//   view.render(frame);
//   desktop::ScenePoint p = view.toScene(x, y);  // the game's pixels; p.inside: not the border
//   ClipRect area = view.gameArea();             // what the game takes for its window
//   forms::WindowRect twips = view.windowRect(); // the same, as the game counts it
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "forms/draw_list.h"
#include "platform/desktop/scale.h"
#include "platform/desktop/view_choice.h"
#include "platform/game_services.h"
#include "platform/win32/win32_painter.h"

struct HWND__;
struct HICON__;

namespace platform::win32 {

class WindowView {
 public:
  // The window style of a window of the scene: a fixed frame, no sizing, no min or max.
  static unsigned long windowStyle();

  // `dpi`: the screen's dots per inch; 0: what the monitor says.
  WindowView(HWND__* window, desktop::Size scene, int dpi, desktop::ViewChoices choices,
             Fonts& fonts);
  ~WindowView();
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;

  // Shows the choice the program opens with; false when the window's picture cannot be made.
  bool start();
  // A key went down: whether it is one of the view's. A key held down changes the view once,
  // not at the keyboard's repeat rate.
  bool keyPressed(std::uintptr_t key, std::intptr_t flags);
  // The monitor's density changed under the window, which goes where the system suggests.
  void dpiChanged(const desktop::Rect& suggested);
  void paint();
  void render(const forms::Frame& frame);
  // The gun sight everywhere on the scene but over the picture boxes and on the black border,
  // where the arrow shows. False before there is a gun sight.
  bool setCursor();

  desktop::ScenePoint toScene(int clientX, int clientY) const {
    return view_.toScene(clientX, clientY);
  }
  // The window with its frame on the screen, or when fullscreen the scene alone, so that the
  // game confines the cursor to the scene and no further.
  ClipRect gameArea() const;
  // That area and the monitor, in twips at the scene's factor, as the game counts them.
  forms::WindowRect windowRect() const;
  forms::ScreenInfo screen() const;

 private:
  desktop::FactorLimits limits() const;
  void apply(desktop::Choice choice);
  void placeWindow(const desktop::Rect& was);
  void loadCursor();
  bool setCursorAt(int clientX, int clientY);

  HWND__* window_;
  desktop::Size scene_;
  int dpi_;
  desktop::ViewChoices choices_;
  Fonts& fonts_;
  std::unique_ptr<Painter> painter_;
  HICON__* gunSight_ = nullptr;
  HICON__* arrow_;
  std::vector<forms::PixelRect> arrowAreas_;
  desktop::View view_;
  bool fullscreen_ = false;
  desktop::Rect windowed_;  // the window as it stood before it went fullscreen
};

}  // namespace platform::win32
