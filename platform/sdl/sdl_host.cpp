// The SDL host: window, input, clock, cursor, confinement and message box. Drawing is in
// sdl_painter.cpp, text in sdl_text.cpp and sound in sdl_sound.cpp.
//
// The window is drawn by SDL's software renderer straight into the window's pixels, at the
// scene's whole factor: the whole window, or in fullscreen the middle of the screen with black
// around it. Only what changed is drawn and sent to the screen, so a big window costs little
// more than a small one. Whatever the factor, the game sees a 304 x 213 client area and mouse
// positions in those pixels.
#include "platform/sdl/sdl_host.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop/scale.h"
#include "platform/images/image_decoders.h"
#include "platform/pointer.h"
#include "platform/sdl/sdl_confinement.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_painter.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sdl_text.h"

namespace platform {

namespace {

constexpr double kStandardDpi = 96.0;

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

std::string sdlError() {
  const char* e = SDL_GetError();
  return e != nullptr && *e != '\0' ? e : "no reason given";
}

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
  Status initVideo();
  std::optional<HostEvent> translate(const SDL_Event& e);
  std::optional<HostEvent> mouse(forms::MouseInput::Type type, int button, Sint32 x,
                                 Sint32 y) const;
  void press(const SDL_Keysym& key);
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
  void loadIcon(std::span<const std::uint8_t> ico);
  void loadCursor();
  double twipsPerPixel() const;

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

SdlHost::~SdlHost() {
  SDL_DelEventWatch(watchSize, this);
  confinement_.reset();
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
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // SDL would take the pointer for itself at each press and let go of it at the release, and
  // letting go drops the confinement's hold too: after the first shot any tablet, touch screen
  // or warp could take the cursor off the scene.
  SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
  if (Status st = initVideo(); !st.ok()) {
    return st;
  }
  // A window of 304 x 213 pixels needs no GPU, and loading the GL drivers would cost far more
  // memory than the whole game: on X the game draws straight into the window's pixels. SDL's
  // Wayland driver has no such way; there the same pixels reach the window through a texture
  // of SDL's own, which is why the choice waits until the driver is known.
  if (std::string_view(SDL_GetCurrentVideoDriver()) == "x11") {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }
  // The sound's thread starts and stops SDL's audio for every sound, and SDL would announce the
  // device each time with an event that wakes this thread through the window: a wake-up for
  // nothing, and one that can reach the X server after the window has gone (an X error that
  // ends the program with a failure as it closes). The game has no use for them.
  SDL_EventState(SDL_AUDIODEVICEADDED, SDL_IGNORE);
  SDL_EventState(SDL_AUDIODEVICEREMOVED, SDL_IGNORE);

  // Not resizable, so window managers offer no maximise; SDL has no way to drop minimise.
  scene_ = {setup.clientWidth, setup.clientHeight};
  window_.reset(SDL_CreateWindow(setup.title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                 SDL_WINDOWPOS_UNDEFINED, setup.clientWidth, setup.clientHeight,
                                 SDL_WINDOW_HIDDEN));
  if (window_ == nullptr) {
    return {"cannot create the window: " + sdlError()};
  }
  cursorImage_ = setup.cursor;
  confinement_.emplace(window_.get(), view_, clock_);
  SDL_AddEventWatch(watchSize, this);
  arrow_.reset(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW));
  // The player's choice, made with the keys or on the command line, wins over the usual size.
  applyChoice(choices_.start(limits()));
  if (Status st = paintInto(); !st.ok()) {
    return st;
  }
  loadIcon(setup.icon);
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

// The gun sight at the scene's factor, so that it still frames what it hits.
void SdlHost::loadCursor() {
  images::Decoded decoded = images::decodeIconOrCursor(cursorImage_);
  if (!decoded.ok()) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot decode the gun sight cursor: %s",
                decoded.error.c_str());
    return;
  }
  const int k = view_.factor;
  SurfaceOwner sight(sdl::surfaceFrom(decoded.image));
  if (sight != nullptr && k > 1) {
    SurfaceOwner big(
        SDL_CreateRGBSurfaceWithFormat(0, sight->w * k, sight->h * k, 32, sight->format->format));
    if (big != nullptr) {
      SDL_SetSurfaceBlendMode(sight.get(), SDL_BLENDMODE_NONE);
      SDL_BlitScaled(sight.get(), nullptr, big.get(), nullptr);
    }
    sight = std::move(big);
  }
  CursorOwner made;
  if (sight != nullptr) {
    made.reset(
        SDL_CreateColorCursor(sight.get(), decoded.image.hotspotX * k, decoded.image.hotspotY * k));
  }
  if (made == nullptr) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot make the gun sight cursor: %s",
                SDL_GetError());
    return;
  }
  // The old sight goes only once the new one shows.
  SDL_SetCursor(made.get());
  shownCursor_ = made.get();
  gunSight_ = std::move(made);
}

// The window's usual factor takes up to half the usable area of the screen it is on now, and at
// least the desktop's own scale (2 at 192 dpi); the player may go up to what fits with the
// window manager's frame, so that the title bar is never pushed off the top.
desktop::FactorLimits SdlHost::limits() const {
  const desktop::Rect usable = usableArea();
  const desktop::Size room = desktop::clientRoom({usable.width, usable.height}, frame_);
  int desktopFactor = static_cast<int>(sdl::desktopDpi(window_.get()).x / kStandardDpi);
  return {desktop::defaultFactor(scene_, room, desktopFactor),
          desktop::fittingFactor(scene_, room)};
}

desktop::Rect SdlHost::usableArea() const {
  int display = std::max(0, SDL_GetWindowDisplayIndex(window_.get()));
  SDL_Rect usable{0, 0, scene_.width, scene_.height};
  SDL_GetDisplayUsableBounds(display, &usable);
  return {usable.x, usable.y, usable.w, usable.h};
}

desktop::Rect SdlHost::clientRect() const {
  desktop::Rect r;
  sdl::windowOrigin(window_.get(), &r.x, &r.y);
  SDL_GetWindowSize(window_.get(), &r.width, &r.height);
  return r;
}

// Asks the window system for the window the choice describes; followWindowSize() paints into
// whatever it gives. A window of a new size keeps its centre where it was, moved only as far as
// its frame must to stay on the screen; one that leaves fullscreen goes back where it stood.
void SdlHost::applyChoice(desktop::Choice choice) {
  SDL_Window* w = window_.get();
  if (choice.fullscreen) {
    if (!placed_) {
      // Opening fullscreen, the window gets its size and place first: a window manager keeps
      // them for when it leaves fullscreen.
      applyChoice({choice.factor, false});
    } else if (!fullscreen_) {
      windowed_ = clientRect();
    }
    fullscreen_ = true;
    SDL_Rect screen;
    if (sdl::windowManagerCanFullscreen(w)) {
      SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(w)), &screen) == 0) {
      // Without a window manager there is no frame to take away: covering the screen is all.
      SDL_SetWindowPosition(w, screen.x, screen.y);
      SDL_SetWindowSize(w, screen.w, screen.h);
    }
    return;
  }
  const desktop::Frame& f = frame_;
  auto withFrame = [&](desktop::Rect r) {
    return desktop::Rect{r.x - f.left, r.y - f.top, r.width + f.left + f.right,
                         r.height + f.top + f.bottom};
  };
  // A window not yet shown, or that opened fullscreen, has no place of its own: the middle.
  const desktop::Rect usable = usableArea();
  desktop::Rect was = usable;
  if (fullscreen_ && windowed_) {
    was = withFrame(*windowed_);
  } else if (!fullscreen_ && placed_) {
    was = withFrame(clientRect());
  }
  fullscreen_ = false;
  const desktop::Size size{scene_.width * choice.factor, scene_.height * choice.factor};
  const desktop::Rect framed = desktop::keepCentre(
      was, {size.width + f.left + f.right, size.height + f.top + f.bottom}, usable);
  if ((SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN) != 0) {
    // Leaving fullscreen, SDL moves the window back itself, taking off the frame it knows of
    // then, which in fullscreen is none: the window would come back lower by its title bar, or
    // be moved twice. SDL is told the size and the place that come out right, and moves it once.
    desktop::Frame known;
    SDL_GetWindowBordersSize(w, &known.top, &known.left, &known.bottom, &known.right);
    SDL_SetWindowSize(w, size.width, size.height);
    SDL_SetWindowPosition(w, framed.x + known.left, framed.y + known.top);
    SDL_SetWindowFullscreen(w, 0);
    return;
  }
  SDL_SetWindowSize(w, size.width, size.height);
  SDL_SetWindowPosition(w, framed.x + f.left, framed.y + f.top);
}

// Reads what the window manager draws around the window, which it knows once it has mapped the
// window, and not in fullscreen, where there is none; true when that changed.
bool SdlHost::followFrame() {
  desktop::Frame now;
  if (SDL_GetWindowBordersSize(window_.get(), &now.top, &now.left, &now.bottom, &now.right) != 0 ||
      now == frame_) {
    return false;
  }
  frame_ = now;
  return true;
}

// Draws the scene into the window's pixels as the window is now: in a window of its own size
// at its factor, anywhere else centred at the largest factor that fits, on black.
Status SdlHost::paintInto() {
  painter_.reset();
  renderer_.reset();
  sceneSurface_.reset();
  pixelsGone_ = false;
  int w = 0, h = 0;
  SDL_GetWindowSize(window_.get(), &w, &h);
  const desktop::Choice& choice = choices_.current();
  int oldFactor = view_.factor;
  view_ = choice.fullscreen ? desktop::fullscreenView(scene_, {w, h})
                            : desktop::centredView(scene_, {w, h}, choice.factor);

  SDL_Surface* pixels = SDL_GetWindowSurface(window_.get());
  if (pixels == nullptr) {
    return {"cannot draw into the window: " + sdlError()};
  }
  SDL_FillRect(pixels, nullptr, SDL_MapRGB(pixels->format, 0, 0, 0));
  const desktop::Rect& r = view_.scene;
  const int bytes = pixels->format->BytesPerPixel;
  auto* origin = static_cast<Uint8*>(pixels->pixels) + r.y * pixels->pitch + r.x * bytes;
  sceneSurface_.reset(SDL_CreateRGBSurfaceWithFormatFrom(origin, r.width, r.height,
                                                         pixels->format->BitsPerPixel,
                                                         pixels->pitch, pixels->format->format));
  if (sceneSurface_ != nullptr) {
    renderer_.reset(SDL_CreateSoftwareRenderer(sceneSurface_.get()));
  }
  if (renderer_ == nullptr) {
    return {"cannot draw into the window: " + sdlError()};
  }
  // White, the window's background colour, until the first frame paints over it.
  SDL_SetRenderDrawColor(renderer_.get(), 255, 255, 255, 255);
  SDL_RenderClear(renderer_.get());
  painter_ = std::make_unique<sdl::Painter>(renderer_.get(), fonts_, view_.factor);
  if (view_.factor != oldFactor || gunSight_ == nullptr) {
    loadCursor();
  }
  return {};
}

// Called by SDL as it queues each event, in whichever thread queues it.
int SdlHost::watchSize(void* host, SDL_Event* e) {
  if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
    static_cast<SdlHost*>(host)->pixelsGone_ = true;
  }
  return 0;
}

// After the window system has changed the window's size (fullscreen, a factor, a window manager
// of its own mind), paints the whole scene again at the new size; false when nothing changed.
// SDL drops the old pixels as soon as it hears of the new size, so this runs before any drawing.
bool SdlHost::followWindowSize() {
  int w = 0, h = 0;
  SDL_GetWindowSize(window_.get(), &w, &h);
  if (renderer_ != nullptr && !pixelsGone_ && desktop::Size{w, h} == view_.client) {
    return false;
  }
  if (Status st = paintInto(); !st.ok()) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "%s", st.error.c_str());
    return true;
  }
  forms::Frame all = lastFrame_;
  all.damage = {0, 0, scene_.width, scene_.height};
  painter_->paint(all);
  SDL_RenderFlush(renderer_.get());
  SDL_UpdateWindowSurface(window_.get());
  confinement_->follow();
  updateCursor();
  return true;
}

void SdlHost::show() {
  if (window_ == nullptr) {
    return;
  }
  SDL_ShowWindow(window_.get());
  // The frame is known only now that the window manager has put it around the window: the
  // factor the program opens with is chosen again with the frame on the screen too.
  SDL_PumpEvents();
  if (!fullscreen_ && followFrame()) {
    applyChoice(choices_.start(limits()));
    followWindowSize();
  }
  placed_ = true;
}

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
    case SDL_MOUSEBUTTONUP: {
      int button = gameButton(e.button.button);
      if (button == 0) {
        return std::nullopt;
      }
      bool down = e.type == SDL_MOUSEBUTTONDOWN;
      // A window unmapped and mapped again gets no focus back unless a window manager gives it
      // one; a click into it says the player is back, and the focus brings the confinement.
      if (down && confinement_->wanted() &&
          !(SDL_GetWindowFlags(window_.get()) & SDL_WINDOW_INPUT_FOCUS)) {
        SDL_SetWindowInputFocus(window_.get());
      }
      auto in = mouse(down ? forms::MouseInput::Type::Down : forms::MouseInput::Type::Up, button,
                      e.button.x, e.button.y);
      // SDL counts a triple click as 3: the game knows only pairs, so every second press counts.
      if (in) {
        std::get<forms::MouseInput>(*in).doubleClick =
            down && e.button.clicks >= 2 && e.button.clicks % 2 == 0;
      }
      return in;
    }
    case SDL_WINDOWEVENT:
      // On Wayland the title bar is libdecor's, drawn anew as the window gains or loses the
      // focus, and it shows only with the window's next picture: without one it may never show.
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
          e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        SDL_UpdateWindowSurface(window_.get());
      }
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          return CloseRequest{};
        case SDL_WINDOWEVENT_EXPOSED:
          SDL_UpdateWindowSurface(window_.get());
          return Exposed{};
        // A player who switches to another program must get the mouse back, and the game takes
        // it again as soon as the player is back.
        case SDL_WINDOWEVENT_FOCUS_LOST:
          confinement_->focus(false);
          return std::nullopt;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          confinement_->focus(true);
          return std::nullopt;
        // The window system has put the window where it was asked to after a change of size:
        // the confinement goes with it. Shown again, the window has lost the hold: SDL lets go
        // of the pointer whenever it maps a window that has the focus.
        case SDL_WINDOWEVENT_LEAVE:
          confinement_->pointerAt(-1, -1);
          return std::nullopt;
        case SDL_WINDOWEVENT_MOVED:
          // A window that opened fullscreen learns its frame only once it leaves it.
          if (!fullscreen_) {
            followFrame();
          }
          confinement_->follow();
          return std::nullopt;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
          confinement_->follow();
          return std::nullopt;
        default:
          return std::nullopt;
      }
    default:
      return std::nullopt;
  }
}

void SdlHost::render(const forms::Frame& frame) {
  if (window_ == nullptr) {
    return;
  }
  lastFrame_ = frame;
  arrowAreas_ = frame.arrowCursorAreas;
  if (followWindowSize() || painter_ == nullptr || frame.damage.empty()) {
    return;
  }
  painter_->paint(frame);
  present(frame.damage);
  // The scene may have moved under a pointer that stands still.
  updateCursor();
}

// Sends the damaged part of the window to the screen, and no more: at 5x a whole frame would be
// six megabytes for a figure that moved a few pixels.
void SdlHost::present(const forms::PixelRect& damage) {
  forms::PixelRect d = damage.intersect({0, 0, scene_.width, scene_.height});
  if (d.empty()) {
    return;
  }
  SDL_RenderFlush(renderer_.get());
  desktop::Rect r = view_.toClient({d.x, d.y, d.w, d.h});
  SDL_Rect area{r.x, r.y, r.width, r.height};
  SDL_UpdateWindowSurfaceRects(window_.get(), &area, 1);
}

// The window shows the gun sight, except over the picture boxes, where the arrow shows.
void SdlHost::updateCursor() {
  if (gunSight_ == nullptr || arrow_ == nullptr) {
    return;
  }
  int x = 0, y = 0;
  SDL_GetMouseState(&x, &y);
  bool overBox = false;
  // The black border is no place to shoot: the arrow shows there too.
  if (SDL_GetMouseFocus() == window_.get()) {
    desktop::ScenePoint p = view_.toScene(x, y);
    overBox = !p.inside || showsArrow(arrowAreas_, static_cast<int>(p.x), static_cast<int>(p.y));
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
  if (confinement_) {
    confinement_->ask(rect);
  }
}

void SdlHost::messageBox(const std::string& title, const std::string& text) {
  // The box is a window of its own: a cursor held in the game window could never reach its OK.
  if (confinement_) {
    confinement_->messageBox(true);
  }
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, title.c_str(), text.c_str(),
                               window_.get()) != 0) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "cannot show the message \"%s\": %s", text.c_str(),
                 SDL_GetError());
  }
  if (confinement_) {
    confinement_->messageBox(false);
  }
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
  return static_cast<double>(forms::kTwipsPerPixel) / view_.factor;
}

}  // namespace

std::unique_ptr<BlockingHost> createSdlHost(desktop::ViewChoices choices) {
  return std::make_unique<SdlHost>(std::move(choices));
}

}  // namespace platform
