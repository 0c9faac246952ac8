// How big the scene is on the player's screen, for the desktop hosts (SDL, Win32): the window's
// whole factor, the fullscreen factor, and where the scene lies in the client area. Plain
// arithmetic on sizes, no window system in it.
//
//   int k = desktop::defaultFactor(scene, usable, desktopFactor);   // the window at first
//   desktop::View view = desktop::windowView(scene, k);              // client area = scene * k
//   desktop::View full = desktop::fullscreenView(scene, screen);     // scene centred on black
//   desktop::ScenePoint p = view.toScene(mouseX, mouseY);           // the game's pixels
//   if (!p.inside) { /* the black border: outside the form */ }
//
//   Size room = desktop::clientRoom(usable, frame);                 // the title bar on screen too
//   Rect placed = desktop::keepCentre(oldOuter, newOuter, usable);  // a new size, the same place
//
// Pictures are drawn only at whole factors, so every scene pixel is a square of factor x factor
// screen pixels and nothing is smeared.
#pragma once

#include "forms/environment.h"

namespace platform::desktop {

struct Size {
  int width = 0, height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom exclusive, as the window systems count.
struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A point of the client area in the scene's own (1x) pixels; `inside` is false on the border
// around a fullscreen scene, or anywhere off the scene.
struct ScenePoint {
  double x = 0, y = 0;
  bool inside = false;
};

// The largest whole factor at which `scene` fits inside `area`; 1 when not even that fits, so a
// tiny screen still shows the game, cut off, rather than nothing.
int fittingFactor(Size scene, Size area);

// The window's factor when the player has chosen none: the largest whole factor at which the
// scene takes at most half of the usable area in each direction (a comfortable window, neither
// a postage stamp nor the whole screen), never below the desktop's own whole factor (2 at
// 192 dpi), and never more than fits the usable area.
int defaultFactor(Size scene, Size usable, int desktopFactor);

// The scene on the screen: its factor, its place in the client area and the client area's size.
struct View {
  int factor = 1;
  Rect scene;   // client-area pixels
  Size client;  // the window's client area, or the whole screen when fullscreen

  ScenePoint toScene(int clientX, int clientY) const;
  // A rectangle of scene pixels as client-area pixels: the damage to repaint, the area to
  // confine the cursor to.
  Rect toClient(Rect sceneRect) const;

  // The twips a screen pixel holds as the game sees its window: at the scene's factor, not the
  // desktop's dpi. The game turns its window's twips back into screen pixels to confine the
  // cursor, so a window at 2x counts 7.5 twips to the pixel, and the confinement covers exactly
  // the window, or the scene when fullscreen.
  double twipsPerPixel() const { return static_cast<double>(forms::kTwipsPerPixel) / factor; }
  // What the game takes for its window (screen pixels) and its screen, in those twips.
  forms::WindowRect windowTwips(Rect onScreen) const;
  forms::ScreenInfo screenTwips(Size screen) const;
};

// What the window manager draws around the client area: title bar and borders, in pixels.
struct Frame {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const Frame&, const Frame&) = default;
};

// The room a client area has in `usable` once the frame around it is on the screen too: the
// largest factor is measured against this, so the title bar is never pushed off the top.
Size clientRoom(Size usable, Frame frame);

// Where a framed window of `size` goes when it changes size: its centre stays where the centre
// of `was` is, and it moves only as far as it must to lie within `usable`. A window larger than
// `usable` keeps its top-left corner (its title bar) on the screen.
Rect keepCentre(Rect was, Size size, Rect usable);

// A window that is the scene at `factor`, no border.
View windowView(Size scene, int factor);
// The whole screen, black, with the scene at the largest whole factor that fits it centred.
View fullscreenView(Size scene, Size screen);
// A client area of any size with the scene centred in it at `factor`, or at the largest factor
// that fits when that is less: what a host shows when the window system gave its window another
// size than it asked for.
View centredView(Size scene, Size client, int factor);

}  // namespace platform::desktop
