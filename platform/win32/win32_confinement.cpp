// The cursor's confinement on Windows: see win32_confinement.h.
#include "platform/win32/win32_confinement.h"

#include <windows.h>

#include <mmsystem.h>

namespace platform::win32 {
namespace {

// Wine under a window manager says the window is active before the X server has given it the
// keyboard focus, and lays no rectangle for a window without it: once active, the window lays
// its rectangle again every tick for a moment.
constexpr UINT kTick = 100;
constexpr int kTicks = 10;

ClipRect relativeTo(HWND window, const ClipRect& r) {
  RECT frame{};
  GetWindowRect(window, &frame);
  return {r.left - frame.left, r.top - frame.top, r.right - frame.left, r.bottom - frame.top};
}

}  // namespace

Confinement::~Confinement() {
  if (clipped_) {
    ClipCursor(nullptr);
  }
  if (fineTimer_) {
    timeEndPeriod(1);
  }
}

void Confinement::want(std::optional<ClipRect> rect) {
  clip_ = rect;
  if (clip_ && window_ != nullptr) {
    clip_ = relativeTo(window_, *clip_);
  }
  if (clip_.has_value() != fineTimer_) {
    fineTimer_ = clip_.has_value();
    if (fineTimer_) {
      timeBeginPeriod(1);
    } else {
      timeEndPeriod(1);
    }
  }
  apply();
}

void Confinement::follow(const ClipRect& gameArea) {
  if (clip_) {
    clip_ = relativeTo(window_, gameArea);
  }
  apply();
}

void Confinement::activated(bool active) {
  active_ = active;
  pressedAway_ = !active && clip_ && pressedOnWindow();
  ticksLeft_ = active ? kTicks : 0;
  if (active) {
    SetTimer(window_, kTimer, kTick, nullptr);
  }
  apply();
}

// The cursor must be free to carry the window by its title bar.
void Confinement::carried(bool moving) {
  moving_ = moving;
  apply();
}

// Back over the scene after a press that took the activation away, the window takes it back.
void Confinement::pointerOver() {
  if (pressedAway_ && !active_) {
    pressedAway_ = false;
    SetForegroundWindow(window_);
  }
}

// Whether the left button is down on the window itself, frame and title bar included: the
// window manager has taken the press, not another program's window.
bool Confinement::pressedOnWindow() const {
  POINT at{};
  RECT frame{};
  return GetAsyncKeyState(VK_LBUTTON) < 0 && GetCursorPos(&at) && GetWindowRect(window_, &frame) &&
         PtInRect(&frame, at);
}

// A message box is a window of its own: the cursor must reach its OK.
void Confinement::boxShown(bool shown) {
  boxShown_ = shown;
  apply();
}

void Confinement::tick() {
  if (--ticksLeft_ <= 0) {
    KillTimer(window_, kTimer);
  }
  apply();
}

void Confinement::apply() {
  RECT frame{};
  if (clip_ && active_ && !boxShown_ && !moving_ && window_ != nullptr &&
      IsWindowVisible(window_) && !IsIconic(window_) && GetWindowRect(window_, &frame)) {
    RECT r{frame.left + clip_->left, frame.top + clip_->top, frame.left + clip_->right,
           frame.top + clip_->bottom};
    ClipCursor(&r);
    clipped_ = true;
  } else if (clipped_) {
    ClipCursor(nullptr);
    clipped_ = false;
  }
}

}  // namespace platform::win32
