// The SDL host: window, input, clock, cursor, confinement and message box. Drawing is in
// sdl_painter.cpp, text in sdl_text.cpp and sound in sdl_sound.cpp.
//
// The window is drawn by SDL's software renderer, straight into the window's pixels; on
// high-density screens into a back buffer of client size that presenting copies to the window,
// scaled by a whole factor. Either way the game sees a 304 x 213 client area and mouse positions
// in those logical pixels.
#include "platform/sdl/sdl_host.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/images/image_decoders.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_painter.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sdl_text.h"

namespace platform {

namespace {

constexpr double kStandardDpi = 96.0;

// Another program may hold the pointer for a moment (an open menu, a screenshot tool picking its
// area). The game asks again from its own loop, between frames, for ten seconds at most.
constexpr forms::Millis kGrabRetryMs = 100;
constexpr int kGrabTries = 100;

// The whole factor the desktop's scale asks for, as big as fits the screen's usable area (at
// 960 dpi a 1024 x 768 screen holds the window three times over, not ten), and never below 1.
int fittingScale(double wanted, int width, int height, const SDL_Rect& usable) {
  double fits = std::min(usable.w / width, usable.h / height);
  return static_cast<int>(std::max(1.0, std::floor(std::min(wanted, fits))));
}

// Which display the game was told to use, for saying which one it could not open.
std::string namedDisplays() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  std::string named;
  if (x != nullptr) {
    named = "the X display \"" + std::string(x) + "\"";
  }
  if (wayland != nullptr) {
    named +=
        (named.empty() ? "" : " nor ") + std::string("the Wayland display \"") + wayland + "\"";
  }
  return named;
}

// A closed terminal ends the game as SIGTERM does, which SDL turns into a quit request: the
// cursor is freed and the program exits with success. SIGQUIT keeps its core dump, which is what
// it is for.
void hangUp(int) {
  std::raise(SIGTERM);
}

// The game numbers the buttons as bits, 1 the left, 2 the right and 4 the middle, so that the
// buttons held during a move add up.
int gameButton(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT:
      return 1;
    case SDL_BUTTON_RIGHT:
      return 2;
    case SDL_BUTTON_MIDDLE:
      return 4;
    default:
      return 0;
  }
}

int heldButtons(Uint32 sdlMask) {
  return (sdlMask & SDL_BUTTON_LMASK ? 1 : 0) | (sdlMask & SDL_BUTTON_RMASK ? 2 : 0) |
         (sdlMask & SDL_BUTTON_MMASK ? 4 : 0);
}

// Shift, Ctrl and Alt as the bits 1, 2 and 4.
int heldModifierKeys() {
  SDL_Keymod mod = SDL_GetModState();
  return (mod & KMOD_SHIFT ? 1 : 0) | (mod & KMOD_CTRL ? 2 : 0) | (mod & KMOD_ALT ? 4 : 0);
}

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
using TextureOwner = std::unique_ptr<SDL_Texture, FreedBy<SDL_DestroyTexture>>;
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

std::string sdlError() {
  const char* e = SDL_GetError();
  return e != nullptr && *e != '\0' ? e : "no reason given";
}

class SdlHost final : public BlockingHost {
 public:
  SdlHost() : start_(std::chrono::steady_clock::now()) {}
  ~SdlHost() override;

  Status open(const WindowSetup& setup) override;
  void show() override;
  HostEvent wait(std::optional<forms::Millis> deadline) override;
  void render(const forms::Frame& frame) override;
  void playSound(std::span<const std::uint8_t> wav) override;
  void clipCursor(std::optional<ClipRect> rect) override;
  void messageBox(const std::string& title, const std::string& text) override;

  forms::Millis now() const override;
  float Rnd() override { return random_.next(); }
  forms::TextExtent measureText(const forms::Font& font, std::string_view utf8) const override {
    return fonts_.measure(font, utf8);
  }
  forms::WindowRect windowRect() const override;
  forms::ScreenInfo screen() const override;

 private:
  Status initVideo();
  std::optional<HostEvent> translate(const SDL_Event& e);
  forms::MouseInput mouse(forms::MouseInput::Type type, int button, Sint32 x, Sint32 y) const;
  void present();
  void applyConfinement();
  void confine();
  void updateCursor();
  void loadIcon(std::span<const std::uint8_t> ico);
  void loadCursor(std::span<const std::uint8_t> cur);
  double twipsPerPixel() const;

  std::chrono::steady_clock::time_point start_;
  forms::RandomSequence random_;
  mutable sdl::Fonts fonts_;

  // SDL's objects go in the reverse of this order when the host does: the sound's thread first,
  // then the textures, the cursors, the renderer and the window, and SDL itself last.
  SdlRunning sdl_;
  WindowOwner window_;
  RendererOwner renderer_;
  TextureOwner backBuffer_;
  CursorOwner gunSight_;
  CursorOwner arrow_;
  std::unique_ptr<sdl::Painter> painter_;
  std::optional<sdl::Sound> sound_;

  int scale_ = 1;  // window pixels per client pixel
  SDL_Cursor* shownCursor_ = nullptr;
  std::vector<forms::PixelRect> arrowAreas_;

  std::optional<ClipRect> clip_;  // what the game asked for
  bool focusLost_ = false;
  bool boxShown_ = false;
  int grabTries_ = 0;
  std::optional<forms::Millis> grabRetryAt_;
  bool hangUpTaken_ = false;
};

SdlHost::~SdlHost() {
  clip_.reset();
  applyConfinement();
  // The window vanishes at once rather than wait for the sound device to drain. It is destroyed
  // only after the sound's thread has ended (the members' order does that): SDL wakes a waiting
  // event loop with a message to the window, and one sent from that thread to a window already
  // gone is an X error, which ends the program with a failure.
  if (window_ != nullptr) {
    SDL_HideWindow(window_.get());
  }
  if (hangUpTaken_) {
    std::signal(SIGHUP, SIG_DFL);
  }
}

Status SdlHost::open(const WindowSetup& setup) {
  if (window_ != nullptr) {
    return {"the window is already open"};
  }
  if (setup.clientWidth <= 0 || setup.clientHeight <= 0) {
    return {"a window needs a size"};
  }
  // A window of 304 x 213 pixels needs no GPU, and loading the GL drivers would cost far more
  // memory than the whole game.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  if (Status st = initVideo(); !st.ok()) {
    return st;
  }

  // Not resizable, so window managers offer no maximise; SDL has no way to drop minimise.
  window_.reset(SDL_CreateWindow(setup.title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                 SDL_WINDOWPOS_UNDEFINED, setup.clientWidth, setup.clientHeight,
                                 SDL_WINDOW_HIDDEN));
  if (window_ == nullptr) {
    return {"cannot create the window: " + sdlError()};
  }
  // On a high-density desktop the scene is drawn bigger by a whole factor, pixel for pixel.
  int display = std::max(0, SDL_GetWindowDisplayIndex(window_.get()));
  SDL_Rect usable{0, 0, setup.clientWidth, setup.clientHeight};
  SDL_GetDisplayUsableBounds(display, &usable);
  scale_ = fittingScale(sdl::desktopDpi(window_.get()).x / kStandardDpi, setup.clientWidth,
                        setup.clientHeight, usable);
  if (scale_ > 1) {
    // Centred again: grown from the corner where the small window was centred, it would reach
    // past the screen's right and bottom edges.
    SDL_SetWindowSize(window_.get(), setup.clientWidth * scale_, setup.clientHeight * scale_);
    SDL_SetWindowPosition(window_.get(), SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                          SDL_WINDOWPOS_CENTERED_DISPLAY(display));
  }
  renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
  if (renderer_ == nullptr) {
    return {"cannot draw into the window: " + sdlError()};
  }
  // The software renderer draws into the window's own pixels, which stay as they are from one
  // frame to the next, so a frame repaints only its damage. A scaled window needs a back buffer
  // of client size to enlarge from.
  if (scale_ > 1) {
    backBuffer_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_ARGB8888,
                                        SDL_TEXTUREACCESS_TARGET, setup.clientWidth,
                                        setup.clientHeight));
    if (backBuffer_ == nullptr) {
      return {"cannot draw into the window: " + sdlError()};
    }
    SDL_SetTextureScaleMode(backBuffer_.get(), SDL_ScaleModeNearest);
    SDL_SetTextureBlendMode(backBuffer_.get(), SDL_BLENDMODE_NONE);
  }
  // White, the window's background colour, until the first frame paints over it.
  SDL_SetRenderTarget(renderer_.get(), backBuffer_.get());
  SDL_SetRenderDrawColor(renderer_.get(), 255, 255, 255, 255);
  SDL_RenderClear(renderer_.get());
  SDL_SetRenderTarget(renderer_.get(), nullptr);
  painter_ = std::make_unique<sdl::Painter>(renderer_.get(), fonts_);

  loadIcon(setup.icon);
  loadCursor(setup.cursor);
  // The sound device opens at the first sound, so a game nobody starts never pays for it.
  sound_.emplace();
  // SDL has taken SIGINT and SIGTERM; SIGHUP follows them unless someone chose to ignore it
  // (nohup).
  struct sigaction hup {};
  if (sigaction(SIGHUP, nullptr, &hup) == 0 && hup.sa_handler == SIG_DFL) {
    hangUpTaken_ = std::signal(SIGHUP, hangUp) != SIG_ERR;
  }
  return {};
}

Status SdlHost::initVideo() {
  // A busy X server turns connections away for a moment (Xvfb under load does it to one in ten),
  // so a display that is there gets a few tries before the game gives up on it.
  bool displayNamed =
      std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  std::string reason;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (attempt > 0) {
      SDL_Delay(100);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      reason = sdlError();
    } else {
      // Without a display SDL may settle for a driver that draws into memory; a game nobody can
      // see must not pretend to run.
      std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
      if (driver != "offscreen" && driver != "dummy") {
        sdl_.video = true;
        return {};
      }
      reason = "SDL offers only its \"" + driver + "\" video driver";
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    if (!displayNamed) {
      break;
    }
  }
  // With a display named, SDL falls back to drawing into memory only when that display does not
  // answer; its reason would blame the fallback.
  if (displayNamed && reason.starts_with("SDL offers only")) {
    return {"cannot open a window: cannot connect to " + namedDisplays()};
  }
  return {"cannot open a window: no display (" + reason + ")"};
}

void SdlHost::loadIcon(std::span<const std::uint8_t> ico) {
  SDL_Surface* icon = sdl::decodeImage(ico);
  if (icon == nullptr) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot decode the window icon: %s", SDL_GetError());
    return;
  }
  SDL_SetWindowIcon(window_.get(), icon);
  SDL_FreeSurface(icon);
}

void SdlHost::loadCursor(std::span<const std::uint8_t> cur) {
  arrow_.reset(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW));
  images::Decoded decoded = images::decodeIconOrCursor(cur);
  if (!decoded.ok()) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot decode the gun sight cursor: %s",
                decoded.error.c_str());
    return;
  }
  SDL_Surface* sight = sdl::surfaceFrom(decoded.image);
  // On a scaled window the sight grows with the scene, so it still frames what it hits.
  if (sight != nullptr && scale_ > 1) {
    SDL_Surface* big = SDL_CreateRGBSurfaceWithFormat(0, sight->w * scale_, sight->h * scale_, 32,
                                                      sight->format->format);
    if (big != nullptr) {
      SDL_SetSurfaceBlendMode(sight, SDL_BLENDMODE_NONE);
      SDL_BlitScaled(sight, nullptr, big, nullptr);
    }
    SDL_FreeSurface(sight);
    sight = big;
  }
  if (sight != nullptr) {
    gunSight_.reset(SDL_CreateColorCursor(sight, decoded.image.hotspotX * scale_,
                                          decoded.image.hotspotY * scale_));
    SDL_FreeSurface(sight);
  }
  if (gunSight_ == nullptr) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot make the gun sight cursor: %s",
                SDL_GetError());
    return;
  }
  SDL_SetCursor(gunSight_.get());
  shownCursor_ = gunSight_.get();
}

void SdlHost::show() {
  if (window_ != nullptr) {
    SDL_ShowWindow(window_.get());
  }
}

forms::Millis SdlHost::now() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

HostEvent SdlHost::wait(std::optional<forms::Millis> deadline) {
  if (window_ == nullptr) {
    // Without a window no input can ever come; ending is the only way on.
    return CloseRequest{};
  }
  for (;;) {
    if (grabRetryAt_ && now() >= *grabRetryAt_) {
      confine();
    }
    std::optional<forms::Millis> wakeAt = deadline;
    if (grabRetryAt_) {
      wakeAt = std::min(deadline.value_or(*grabRetryAt_), *grabRetryAt_);
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

forms::MouseInput SdlHost::mouse(forms::MouseInput::Type type, int button, Sint32 x,
                                 Sint32 y) const {
  forms::MouseInput in;
  in.type = type;
  in.button = button;
  in.shift = heldModifierKeys();
  in.x = static_cast<double>(x) / scale_;
  in.y = static_cast<double>(y) / scale_;
  return in;
}

std::optional<HostEvent> SdlHost::translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      return CloseRequest{};
    case SDL_MOUSEMOTION:
      updateCursor();
      return mouse(forms::MouseInput::Type::Move, heldButtons(e.motion.state), e.motion.x,
                   e.motion.y);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int button = gameButton(e.button.button);
      if (button == 0) {
        return std::nullopt;
      }
      bool down = e.type == SDL_MOUSEBUTTONDOWN;
      // A window unmapped and mapped again gets no focus back unless a window manager gives it
      // one; a click into it says the player is back, and the focus brings the confinement.
      if (down && focusLost_ && clip_) {
        SDL_SetWindowInputFocus(window_.get());
      }
      forms::MouseInput in =
          mouse(down ? forms::MouseInput::Type::Down : forms::MouseInput::Type::Up, button,
                e.button.x, e.button.y);
      // SDL counts a triple click as 3: the game knows only pairs, so every second press counts.
      in.doubleClick = down && e.button.clicks >= 2 && e.button.clicks % 2 == 0;
      return in;
    }
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          return CloseRequest{};
        case SDL_WINDOWEVENT_EXPOSED:
          present();
          return Exposed{};
        // A player who switches to another program must get the mouse back.
        case SDL_WINDOWEVENT_FOCUS_LOST:
          focusLost_ = true;
          applyConfinement();
          return std::nullopt;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          focusLost_ = false;
          applyConfinement();
          return std::nullopt;
        default:
          return std::nullopt;
      }
    default:
      return std::nullopt;
  }
}

void SdlHost::render(const forms::Frame& frame) {
  if (painter_ == nullptr || frame.damage.empty()) {
    return;
  }
  arrowAreas_ = frame.arrowCursorAreas;
  SDL_SetRenderTarget(renderer_.get(), backBuffer_.get());
  painter_->paint(frame);
  SDL_SetRenderTarget(renderer_.get(), nullptr);
  present();
  // The scene may have moved under a pointer that stands still.
  updateCursor();
}

void SdlHost::present() {
  if (renderer_ == nullptr) {
    return;
  }
  if (backBuffer_ != nullptr) {
    SDL_RenderCopy(renderer_.get(), backBuffer_.get(), nullptr, nullptr);
  }
  SDL_RenderPresent(renderer_.get());
}

// The window shows the gun sight, except over the picture boxes, where the arrow shows.
void SdlHost::updateCursor() {
  if (gunSight_ == nullptr || arrow_ == nullptr) {
    return;
  }
  int x = 0, y = 0;
  SDL_GetMouseState(&x, &y);
  bool overBox = false;
  if (SDL_GetMouseFocus() == window_.get()) {
    overBox = std::any_of(arrowAreas_.begin(), arrowAreas_.end(), [&](const forms::PixelRect& r) {
      return r.contains(x / scale_, y / scale_);
    });
  }
  SDL_Cursor* wanted = overBox ? arrow_.get() : gunSight_.get();
  if (wanted != shownCursor_) {
    SDL_SetCursor(wanted);
    shownCursor_ = wanted;
  }
}

void SdlHost::playSound(std::span<const std::uint8_t> wav) {
  if (sound_) {
    sound_->play(wav);
  }
}

void SdlHost::clipCursor(std::optional<ClipRect> rect) {
  clip_ = rect;
  applyConfinement();
}

void SdlHost::applyConfinement() {
  grabTries_ = 0;
  grabRetryAt_.reset();
  if (window_ == nullptr) {
    return;
  }
  if (clip_.has_value() && !focusLost_ && !boxShown_) {
    confine();
    return;
  }
  SDL_SetWindowMouseRect(window_.get(), nullptr);
  sdl::releasePointer(window_.get());
  SDL_SetWindowGrab(window_.get(), SDL_FALSE);
}

// The grab keeps the pointer inside the client area against every kind of motion, warps
// included; the mouse rectangle narrows it further when the game asks for less than the window.
// While another program holds the pointer the cursor stays free, and wait() tries again.
void SdlHost::confine() {
  grabRetryAt_.reset();
  ++grabTries_;
  switch (sdl::grabPointer(window_.get())) {
    case sdl::PointerGrab::Taken:
      break;
    case sdl::PointerGrab::NotOnX:
      SDL_SetWindowGrab(window_.get(), SDL_TRUE);
      break;
    case sdl::PointerGrab::Refused:
      SDL_SetWindowMouseRect(window_.get(), nullptr);
      if (grabTries_ < kGrabTries) {
        grabRetryAt_ = now() + kGrabRetryMs;
      } else {
        SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION,
                    "cannot confine the cursor: another program held the pointer for %d s",
                    static_cast<int>(kGrabTries * kGrabRetryMs / 1000));
      }
      return;
  }
  int wx = 0, wy = 0, ww = 0, wh = 0;
  SDL_GetWindowPosition(window_.get(), &wx, &wy);
  SDL_GetWindowSize(window_.get(), &ww, &wh);
  int left = std::clamp(clip_->left - wx, 0, ww), right = std::clamp(clip_->right - wx, 0, ww);
  int top = std::clamp(clip_->top - wy, 0, wh), bottom = std::clamp(clip_->bottom - wy, 0, wh);
  SDL_Rect area{left, top, right - left, bottom - top};
  SDL_SetWindowMouseRect(window_.get(), SDL_RectEmpty(&area) ? nullptr : &area);
}

void SdlHost::messageBox(const std::string& title, const std::string& text) {
  // The box is a window of its own: a cursor held in the game window could never reach its OK.
  boxShown_ = true;
  applyConfinement();
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, title.c_str(), text.c_str(),
                               window_.get()) != 0) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "cannot show the message \"%s\": %s", text.c_str(),
                 SDL_GetError());
  }
  boxShown_ = false;
  applyConfinement();
}

forms::WindowRect SdlHost::windowRect() const {
  if (window_ == nullptr) {
    return {};
  }
  int x = 0, y = 0, w = 0, h = 0;
  SDL_GetWindowPosition(window_.get(), &x, &y);
  SDL_GetWindowSize(window_.get(), &w, &h);
  // Without a window manager there is no frame, and SDL says so by failing: zero it is.
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_.get(), &top, &left, &bottom, &right) != 0) {
    top = left = bottom = right = 0;
  }
  double t = twipsPerPixel();
  return {(x - left) * t, (y - top) * t, (w + left + right) * t, (h + top + bottom) * t};
}

forms::ScreenInfo SdlHost::screen() const {
  SDL_Rect bounds;
  if (window_ == nullptr ||
      SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_.get())), &bounds) != 0) {
    return {};
  }
  double t = twipsPerPixel();
  return {bounds.w * t, bounds.h * t, t, t};
}

// The scale the window is really laid out at, not the desktop's: at 168 dpi the window keeps its
// 304 pixels for the form's 4560 twips, 15 to the pixel, where the desktop's figure is 8.57; at
// 192 dpi it doubles them, 7.5 to the pixel. The game turns its window's twips back into screen
// pixels to confine the cursor, so they must be counted at the window's own scale.
double SdlHost::twipsPerPixel() const {
  return static_cast<double>(forms::kTwipsPerPixel) / scale_;
}

}  // namespace

std::unique_ptr<BlockingHost> createSdlHost() {
  return std::make_unique<SdlHost>();
}

}  // namespace platform
