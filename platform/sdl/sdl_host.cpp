// The SDL host: SDL and its video brought up and shut down, and the host's parts by concern
// composed, each owning its own state: the window and the view (sdl_window.h), the events
// (sdl_events.h), the cursor's confinement (sdl_confinement.h) and the sound (sdl_sound.h); the
// message box is the window system's own. See sdl_host.h for what the host does.
#include "platform/sdl/sdl_host.h"

#include <SDL.h>

#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/sdl/sdl_confinement.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_events.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sdl_text.h"
#include "platform/sdl/sdl_window.h"

namespace platform {

namespace sdl {

namespace {

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

}  // namespace

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

class SdlHost final : public BlockingHost {
 public:
  explicit SdlHost(desktop::ViewChoices choices) : view_(std::move(choices), fonts_) {}
  ~SdlHost() override;

  Status open(const WindowSetup& setup) override;
  void show() override { view_.show(); }
  HostEvent wait(std::optional<forms::Millis> deadline) override;
  void render(const forms::Frame& frame) override { view_.render(frame); }
  void playSound(std::span<const std::uint8_t> wav) override;
  void clipCursor(std::optional<ClipRect> rect) override;
  void messageBox(const std::string& title, const std::string& text) override;

  forms::Millis now() const override { return clock_.now(); }
  float Rnd() override { return random_.next(); }
  forms::TextExtent measureText(const forms::Font& font, std::string_view utf8) const override {
    return fonts_.measure(font, utf8);
  }
  forms::WindowRect windowRect() const override { return view_.windowRect(); }
  forms::ScreenInfo screen() const override { return view_.screen(); }

 private:
  Status initVideo();
  void loadIcon(std::span<const std::uint8_t> ico);

  SteadyClock clock_;
  forms::RandomSequence random_;
  mutable Fonts fonts_;
  // SDL's objects go in the reverse of this order when the host does: the confinement lets go,
  // the sound's thread ends, then the window with its textures and cursors, and SDL itself last.
  SdlRunning sdl_;
  WindowView view_;
  std::optional<Sound> sound_;
  std::optional<Confinement> confinement_;  // made with the window, gone before it
  std::optional<Events> events_;
  bool hangUpTaken_ = false;
};

SdlHost::~SdlHost() {
  events_.reset();
  confinement_.reset();
  // The window vanishes at once rather than wait for the sound device to drain. It is destroyed
  // only after the sound's thread has ended (the members' order does that): SDL wakes a waiting
  // event loop with a message to the window, and one sent from that thread to a window already
  // gone is an X error, which ends the program with a failure.
  view_.hide();
  if (hangUpTaken_) {
    std::signal(SIGHUP, SIG_DFL);
  }
}

Status SdlHost::open(const WindowSetup& setup) {
  if (view_.window() != nullptr) {
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
  forgiveLateWakeUps();
  if (Status st = initVideo(); !st.ok()) {
    return st;
  }
  // A window of 304 x 213 pixels needs no GPU, and loading the GL drivers would cost far more
  // memory than the whole game: on X the game draws straight into the window's pixels. SDL's
  // Wayland driver has no such way; there the same pixels reach the window through a texture,
  // which is why the choice waits until the driver is known. OpenGL ES is the lighter of SDL's
  // two ways to draw it (4 MiB less with Mesa), unless the player names another.
  const std::string_view driver = SDL_GetCurrentVideoDriver();
  if (driver == "x11") {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  } else if (driver == "wayland") {
    SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "opengles2", SDL_HINT_DEFAULT);
  }
  // The sound's thread starts and stops SDL's audio for every sound, and SDL would announce the
  // device each time with an event that wakes this thread through the window: a wake-up for
  // nothing, and one that can reach the X server after the window has gone (an X error that
  // ends the program with a failure as it closes). The game has no use for them.
  SDL_EventState(SDL_AUDIODEVICEADDED, SDL_IGNORE);
  SDL_EventState(SDL_AUDIODEVICEREMOVED, SDL_IGNORE);

  if (Status st = view_.open(setup); !st.ok()) {
    return st;
  }
  confinement_.emplace(view_.window(), view_.view(), clock_);
  events_.emplace(view_, *confinement_, clock_);
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
  SDL_Surface* icon = decodeImage(ico);
  if (icon == nullptr) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot decode the window icon: %s", SDL_GetError());
    return;
  }
  SDL_SetWindowIcon(view_.window(), icon);
  SDL_FreeSurface(icon);
}

HostEvent SdlHost::wait(std::optional<forms::Millis> deadline) {
  // Without a window no input can ever come; ending is the only way on.
  return events_ ? events_->wait(deadline) : HostEvent{CloseRequest{}};
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
                               view_.window()) != 0) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "cannot show the message \"%s\": %s", text.c_str(),
                 SDL_GetError());
  }
  if (confinement_) {
    confinement_->messageBox(false);
  }
}

}  // namespace sdl

std::unique_ptr<BlockingHost> createSdlHost(desktop::ViewChoices choices) {
  return std::make_unique<sdl::SdlHost>(std::move(choices));
}

}  // namespace platform
