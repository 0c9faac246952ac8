// The SDL host's events; see sdl_events.h.
#include "platform/sdl/sdl_events.h"

#include "platform/pointer.h"
#include "platform/turns.h"

namespace platform::sdl {

namespace {

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

HostEvent Events::wait(std::optional<forms::Millis> deadline) {
  for (;;) {
    confinement_.retry();
    std::optional<forms::Millis> left =
        sleepUntil(earliest(deadline, confinement_.retryAt()), clock_.now());
    SDL_Event e;
    if ((left ? SDL_WaitEventTimeout(&e, static_cast<int>(*left)) : SDL_WaitEvent(&e)) != 0) {
      if (auto event = translate(e)) {
        return *event;
      }
    } else if (!left) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "the event queue failed: %s", SDL_GetError());
      return CloseRequest{};
    } else if (deadline && clock_.now() >= *deadline) {
      return Timeout{};
    }
  }
}

// The black border around a fullscreen scene is outside the form: a press or a move there
// reaches no control. A release there still ends the press it belongs to, as a release outside
// the window does.
std::optional<HostEvent> Events::mouse(forms::MouseInput::Type type, int button, Sint32 x,
                                       Sint32 y) const {
  desktop::ScenePoint p = view_.toScene(x, y);
  if (!p.inside && type != forms::MouseInput::Type::Up) {
    return std::nullopt;
  }
  return forms::MouseInput{type, button, heldModifierKeys(), p.x, p.y};
}

std::optional<HostEvent> Events::translate(const SDL_Event& e) {
  // A new size must be painted, and the pointer mapped, at the new factor.
  if (view_.followSize()) {
    confinement_.follow();
  }
  switch (e.type) {
    case SDL_QUIT:
      return CloseRequest{};
    case SDL_KEYDOWN:
      if (e.key.repeat == 0 && view_.keyPressed(e.key.keysym)) {
        confinement_.follow();
      }
      return std::nullopt;
    case SDL_MOUSEMOTION:
      confinement_.pointerAt(e.motion.x, e.motion.y);
      view_.updateCursor();
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

std::optional<HostEvent> Events::button(const SDL_MouseButtonEvent& e) {
  int button = gameButton(e.button);
  if (button == 0) {
    return std::nullopt;
  }
  bool down = e.type == SDL_MOUSEBUTTONDOWN;
  // A window unmapped and mapped again gets no focus back unless a window manager gives it one;
  // a click into it says the player is back, and the focus brings the confinement.
  if (down && confinement_.wanted() &&
      !(SDL_GetWindowFlags(view_.window()) & SDL_WINDOW_INPUT_FOCUS)) {
    SDL_SetWindowInputFocus(view_.window());
  }
  auto in =
      mouse(down ? forms::MouseInput::Type::Down : forms::MouseInput::Type::Up, button, e.x, e.y);
  // SDL counts a triple click as 3: the game knows only pairs, so every second press counts.
  if (in) {
    std::get<forms::MouseInput>(*in).doubleClick = down && e.clicks >= 2 && e.clicks % 2 == 0;
  }
  return in;
}

std::optional<HostEvent> Events::windowEvent(const SDL_WindowEvent& e) {
  // On Wayland the title bar is libdecor's, drawn anew as the window gains or loses the focus,
  // and it shows only with the window's next picture: without one it may never show.
  if (e.event == SDL_WINDOWEVENT_FOCUS_GAINED || e.event == SDL_WINDOWEVENT_FOCUS_LOST) {
    view_.present();
  }
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
      return CloseRequest{};
    case SDL_WINDOWEVENT_EXPOSED:
      view_.present();
      return Exposed{};
    // A player who switches to another program must get the mouse back, and the game takes it
    // again as soon as the player is back.
    case SDL_WINDOWEVENT_FOCUS_LOST:
      confinement_.focus(false);
      return std::nullopt;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      confinement_.focus(true);
      return std::nullopt;
    // A pointer that leaves the window while it is held has been let go of somehow.
    case SDL_WINDOWEVENT_LEAVE:
      confinement_.pointerAt(-1, -1);
      return std::nullopt;
    // The window system has put the window where it was asked to after a change of size: the
    // confinement goes with it. A window that opened fullscreen learns its frame only once it
    // leaves it.
    case SDL_WINDOWEVENT_MOVED:
      view_.moved();
      confinement_.follow();
      return std::nullopt;
    // Shown again, the window has lost the hold: SDL lets go of the pointer whenever it maps a
    // window that has the focus.
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
      confinement_.follow();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace platform::sdl
