// The cursor kept to the scene while a game runs; see sdl_confinement.h.
#include "platform/sdl/sdl_confinement.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace platform::sdl {

Confinement::Confinement(SDL_Window* window, const desktop::View& view, const Clock& clock)
    : window_(window), view_(view), clock_(clock), pointer_(window) {}

Confinement::~Confinement() {
  clip_.reset();
  follow();
}

void Confinement::ask(std::optional<ClipRect> rect) {
  clip_.reset();
  if (rect) {
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(window_, &wx, &wy);
    // Whole scene pixels that cover the rectangle, from the scene's corner on the screen.
    const double k = view_.factor;
    auto x = [&](int screenX, auto round) {
      return static_cast<int>(round((screenX - wx - view_.scene.x) / k));
    };
    auto y = [&](int screenY, auto round) {
      return static_cast<int>(round((screenY - wy - view_.scene.y) / k));
    };
    auto floor = [](double v) { return std::floor(v); };
    auto ceil = [](double v) { return std::ceil(v); };
    int left = x(rect->left, floor), top = y(rect->top, floor);
    clip_ = desktop::Rect{left, top, x(rect->right, ceil) - left, y(rect->bottom, ceil) - top};
  }
  follow();
}

void Confinement::focus(bool has) {
  focusLost_ = !has;
  follow();
}

void Confinement::messageBox(bool shown) {
  boxShown_ = shown;
  follow();
}

void Confinement::follow() {
  retries_.reset();
  if (clip_.has_value() && !focusLost_ && !boxShown_) {
    hold();
    return;
  }
  held_.reset();
  pointer_.release();
  SDL_SetWindowMouseRect(window_, nullptr);
  SDL_SetWindowGrab(window_, SDL_FALSE);
}

void Confinement::pointerAt(int x, int y) {
  if (held_ && (x < held_->x || y < held_->y || x >= held_->x + held_->width ||
                y >= held_->y + held_->height)) {
    hold();
  }
}

void Confinement::retry() {
  if (retries_.due(clock_.now())) {
    hold();
  }
}

// The game asks for its window; the pointer keeps to the scene, the window's client area or
// the middle of a fullscreen screen, wherever and however big it is now.
void Confinement::hold() {
  const desktop::Rect c = view_.toClient(*clip_), &s = view_.scene;
  int left = std::clamp(c.x, s.x, s.x + s.width);
  int right = std::clamp(c.x + c.width, s.x, s.x + s.width);
  int top = std::clamp(c.y, s.y, s.y + s.height);
  int bottom = std::clamp(c.y + c.height, s.y, s.y + s.height);
  held_.reset();
  const desktop::Rect area{left, top, right - left, bottom - top};
  PointerGrab grab = pointer_.take(area);
  if (grab == PointerGrab::NotOnX) {
    SDL_SetWindowGrab(window_, SDL_TRUE);
    SDL_Rect rect{left, top, right - left, bottom - top};
    SDL_SetWindowMouseRect(window_, SDL_RectEmpty(&rect) ? nullptr : &rect);
    return;
  }
  if (grab == PointerGrab::Taken) {
    held_ = area;
  }
  if (!retries_.tried(grab == PointerGrab::Taken, clock_.now())) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION,
                "cannot confine the cursor: another program held the pointer for %d s",
                static_cast<int>(desktop::Retries::kForAtMost / 1000));
  }
}

}  // namespace platform::sdl
