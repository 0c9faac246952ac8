// The SDL host's events: waiting for input or the next deadline without a wake-up in between,
// the mouse in the scene's pixels with the game's buttons and modifier keys, the view keys the
// host answers itself, and the window's own events (closing, uncovering, the focus, a move).
#include <SDL.h>

#include <algorithm>

#include "platform/desktop/scale.h"
#include "platform/pointer.h"
#include "platform/sdl/sdl_host_class.h"

namespace platform::sdl {

namespace {

// The keys the host answers itself, whatever the keyboard's layout: Ctrl+0 by the key's place
// too, since on a Czech keyboard that key types "é".
desktop::ViewKey viewKey(const SDL_Keysym& key) {
  switch (key.sym) {
    case SDLK_F11:
      return desktop::ViewKey::F11;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return desktop::ViewKey::Enter;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS:
      return desktop::ViewKey::Plus;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
      return desktop::ViewKey::Minus;
    case SDLK_0:
    case SDLK_KP_0:
      return desktop::ViewKey::Zero;
    default:
      return key.scancode == SDL_SCANCODE_0 ? desktop::ViewKey::Zero : desktop::ViewKey::Other;
  }
}

int gameButton(Uint8 sdlButton) {
  return buttonBits(sdlButton == SDL_BUTTON_LEFT, sdlButton == SDL_BUTTON_RIGHT,
                    sdlButton == SDL_BUTTON_MIDDLE);
}

int heldButtons(Uint32 sdlMask) {
  return buttonBits(sdlMask & SDL_BUTTON_LMASK, sdlMask & SDL_BUTTON_RMASK,
                    sdlMask & SDL_BUTTON_MMASK);
}

int heldModifierKeys() {
  SDL_Keymod mod = SDL_GetModState();
  return modifierBits(mod & KMOD_SHIFT, mod & KMOD_CTRL, mod & KMOD_ALT);
}

}  // namespace

HostEvent SdlHost::wait(std::optional<forms::Millis> deadline) {
  if (window_ == nullptr) {
    // Without a window no input can ever come; ending is the only way on.
    return CloseRequest{};
  }
  for (;;) {
    confinement_->retry();
    std::optional<forms::Millis> wakeAt = deadline;
    if (auto retryAt = confinement_->retryAt()) {
      wakeAt = std::min(deadline.value_or(*retryAt), *retryAt);
    }
    SDL_Event e;
    int got = 0;
    if (wakeAt) {
      forms::Millis left = std::clamp<forms::Millis>(*wakeAt - now(), 0, 1 << 30);
      got = SDL_WaitEventTimeout(&e, static_cast<int>(left));
    } else {
      got = SDL_WaitEvent(&e);
      if (got == 0) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "the event queue failed: %s", SDL_GetError());
        return CloseRequest{};
      }
    }
    if (got != 0) {
      if (auto event = translate(e)) {
        return *event;
      }
    } else if (deadline && now() >= *deadline) {
      return Timeout{};
    }
  }
}

// The black border around a fullscreen scene is outside the form: a press or a move there
// reaches no control. A release there still ends the press it belongs to, as a release outside
// the window does.
std::optional<HostEvent> SdlHost::mouse(forms::MouseInput::Type type, int button, Sint32 x,
                                        Sint32 y) const {
  desktop::ScenePoint p = view_.toScene(x, y);
  if (!p.inside && type != forms::MouseInput::Type::Up) {
    return std::nullopt;
  }
  forms::MouseInput in;
  in.type = type;
  in.button = button;
  in.shift = heldModifierKeys();
  in.x = p.x;
  in.y = p.y;
  return in;
}

// The view keys are the host's: the game has no keys, and gets none of these.
void SdlHost::press(const SDL_Keysym& key) {
  SDL_Keymod mod = SDL_GetModState();
  if (auto changed =
          choices_.press(viewKey(key), (mod & KMOD_CTRL) != 0, (mod & KMOD_ALT) != 0, limits())) {
    applyChoice(*changed);
    followWindowSize();
  }
}

std::optional<HostEvent> SdlHost::translate(const SDL_Event& e) {
  // A new size must be painted, and the pointer mapped, at the new factor.
  followWindowSize();
  switch (e.type) {
    case SDL_QUIT:
      return CloseRequest{};
    case SDL_KEYDOWN:
      if (e.key.repeat == 0) {
        press(e.key.keysym);
      }
      return std::nullopt;
    case SDL_MOUSEMOTION:
      confinement_->pointerAt(e.motion.x, e.motion.y);
      updateCursor();
      return mouse(forms::MouseInput::Type::Move, heldButtons(e.motion.state), e.motion.x,
                   e.motion.y);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return button(e.button);
    case SDL_WINDOWEVENT:
      return windowEvent(e.window);
    default:
      return std::nullopt;
  }
}

std::optional<HostEvent> SdlHost::button(const SDL_MouseButtonEvent& e) {
  int button = gameButton(e.button);
  if (button == 0) {
    return std::nullopt;
  }
  bool down = e.type == SDL_MOUSEBUTTONDOWN;
  // A window unmapped and mapped again gets no focus back unless a window manager gives it one;
  // a click into it says the player is back, and the focus brings the confinement.
  if (down && confinement_->wanted() &&
      !(SDL_GetWindowFlags(window_.get()) & SDL_WINDOW_INPUT_FOCUS)) {
    SDL_SetWindowInputFocus(window_.get());
  }
  auto in =
      mouse(down ? forms::MouseInput::Type::Down : forms::MouseInput::Type::Up, button, e.x, e.y);
  // SDL counts a triple click as 3: the game knows only pairs, so every second press counts.
  if (in) {
    std::get<forms::MouseInput>(*in).doubleClick = down && e.clicks >= 2 && e.clicks % 2 == 0;
  }
  return in;
}

std::optional<HostEvent> SdlHost::windowEvent(const SDL_WindowEvent& e) {
  // On Wayland the title bar is libdecor's, drawn anew as the window gains or loses the focus,
  // and it shows only with the window's next picture: without one it may never show.
  if (e.event == SDL_WINDOWEVENT_FOCUS_GAINED || e.event == SDL_WINDOWEVENT_FOCUS_LOST) {
    SDL_UpdateWindowSurface(window_.get());
  }
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
      return CloseRequest{};
    case SDL_WINDOWEVENT_EXPOSED:
      SDL_UpdateWindowSurface(window_.get());
      return Exposed{};
    // A player who switches to another program must get the mouse back, and the game takes it
    // again as soon as the player is back.
    case SDL_WINDOWEVENT_FOCUS_LOST:
      confinement_->focus(false);
      return std::nullopt;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      confinement_->focus(true);
      return std::nullopt;
    // A pointer that leaves the window while it is held has been let go of somehow.
    case SDL_WINDOWEVENT_LEAVE:
      confinement_->pointerAt(-1, -1);
      return std::nullopt;
    // The window system has put the window where it was asked to after a change of size: the
    // confinement goes with it. A window that opened fullscreen learns its frame only once it
    // leaves it.
    case SDL_WINDOWEVENT_MOVED:
      if (!fullscreen_) {
        followFrame();
      }
      confinement_->follow();
      return std::nullopt;
    // Shown again, the window has lost the hold: SDL lets go of the pointer whenever it maps a
    // window that has the focus.
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
      confinement_->follow();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace platform::sdl
