// The browser host; see web_host.h. Input comes through html5.h's callbacks, time through
// emscripten_set_timeout, and the page's own parts (canvas, sound, dialog) through web_page.h.
#include "platform/web/web_host.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "platform/images/image_decoders.h"
#include "platform/web/web_page.h"
#include "platform/web/web_painter.h"

namespace platform::web {

namespace {

// A second press of the same button this soon and this near is a double click, as on the desktop.
constexpr double kDoubleClickMs = 500;
constexpr double kDoubleClickRadius = 32;

constexpr const char* kCanvas = "#canvas";

// Sounds are known to the page by their bytes' FNV-1a hash: the game hands over a fresh copy of
// a sound each time, and the page decodes each sound once.
std::uint32_t soundKey(std::span<const std::uint8_t> bytes) {
  std::uint32_t h = 2166136261u;
  for (std::uint8_t b : bytes)
    h = (h ^ b) * 16777619u;
  return h;
}

// The game numbers the buttons as bits, 1 the left, 2 the right and 4 the middle; the page's
// `button` counts 0 left, 1 middle, 2 right, and its `buttons` already are those bits.
int gameButton(unsigned short domButton) {
  return domButton == 0 ? 1 : domButton == 1 ? 4 : domButton == 2 ? 2 : 0;
}

int modifierKeys(const EmscriptenMouseEvent& e) {
  return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);
}

}  // namespace

struct WebHost::State {
  WebHost& host;
  forms::RandomSequence random;
  Painter painter;
  FormMaker makeForm;
  std::unique_ptr<forms::Form> form;
  Session::Chrome chrome;
  std::optional<Session> session;
  int width = 0, height = 0;
  bool ended = false;
  bool modal = false;  // the message box is open: time and input wait
  long timeout = 0;    // the pending emscripten_set_timeout, 0 for none

  // The pointer: where the game last saw it, and while it is locked the game moves it itself.
  double x = 0, y = 0;
  bool lockWanted = false, locked = false;
  int pressedHere = 0;  // buttons pressed on the canvas and not yet released
  std::vector<forms::PixelRect> arrowAreas;
  bool arrowShown = false;
  std::string texts;  // what the canvas's fallback content reads

  // The last press, for counting double clicks.
  int lastButton = 0, clicks = 0;
  double lastPressAt = -1e9, lastPressX = 0, lastPressY = 0;

  explicit State(WebHost& h) : host(h) {}

  void deliver(const HostEvent& event) {
    if (!ended && !modal && session) {
      session->handle(event);
      turn();
    }
  }

  // Runs the due timers and a frame, then sleeps until the next timer, or until input when no
  // timer runs.
  void turn() {
    if (ended || modal || !session)
      return;
    Session::Step step = session->step();
    if (timeout != 0) {
      emscripten_clear_timeout(timeout);
      timeout = 0;
    }
    if (step.ended) {
      finish();
      return;
    }
    if (step.nextDeadline) {
      double delay = std::max<double>(0, static_cast<double>(*step.nextDeadline - host.now()));
      timeout = emscripten_set_timeout(&State::onTimeout, delay, this);
    }
  }

  // The game is over with its window: the pointer goes free and the page stays as it was.
  void finish() {
    ended = true;
    lockWanted = false;
    if (locked)
      emscripten_exit_pointerlock();
    vw_show_sight(false, 0, 0);
  }

  static void onTimeout(void* data) {
    auto* s = static_cast<State*>(data);
    s->timeout = 0;
    s->deliver(Timeout{});
  }

  void lock() {
    if (!locked)
      emscripten_request_pointerlock(kCanvas, false);
  }

  void pointAt(double px, double py) {
    x = std::clamp(px, 0.0, width - 1.0);
    y = std::clamp(py, 0.0, height - 1.0);
    if (locked)
      vw_show_sight(true, x, y);
    bool arrow = std::any_of(arrowAreas.begin(), arrowAreas.end(), [&](const auto& r) {
      return r.contains(static_cast<int>(x), static_cast<int>(y));
    });
    if (arrow != arrowShown) {
      arrowShown = arrow;
      vw_arrow_cursor(arrow);
    }
  }

  forms::MouseInput mouse(forms::MouseInput::Type type, int button,
                          const EmscriptenMouseEvent& e) const {
    forms::MouseInput in;
    in.type = type;
    in.button = button;
    in.shift = modifierKeys(e);
    in.x = x;
    in.y = y;
    return in;
  }

  // Where the pointer is over the canvas, unless the game holds it locked.
  void follow(const EmscriptenMouseEvent& e) {
    if (locked)
      pointAt(x + e.movementX, y + e.movementY);
    else
      pointAt(e.clientX - vw_canvas_left(), e.clientY - vw_canvas_top());
  }

  bool over(const EmscriptenMouseEvent& e) const {
    double cx = e.clientX - vw_canvas_left(), cy = e.clientY - vw_canvas_top();
    return locked || (cx >= 0 && cy >= 0 && cx < width && cy < height);
  }

  static EM_BOOL onDown(int, const EmscriptenMouseEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    int button = gameButton(e->button);
    if (s->ended || s->modal || button == 0)
      return EM_TRUE;
    // The player left the lock with Esc during a game: this press asks for it again.
    if (s->lockWanted)
      s->lock();
    s->follow(*e);
    double t = emscripten_get_now();
    bool again = button == s->lastButton && t - s->lastPressAt <= kDoubleClickMs &&
                 std::abs(s->x - s->lastPressX) <= kDoubleClickRadius &&
                 std::abs(s->y - s->lastPressY) <= kDoubleClickRadius;
    s->clicks = again ? s->clicks + 1 : 1;
    s->lastButton = button;
    s->lastPressAt = t;
    s->lastPressX = s->x;
    s->lastPressY = s->y;
    s->pressedHere |= button;
    forms::MouseInput in = s->mouse(forms::MouseInput::Type::Down, button, *e);
    in.doubleClick = s->clicks % 2 == 0;
    s->deliver(in);
    return EM_TRUE;
  }

  // Releases and moves are watched on the whole document: a press on the canvas holds the
  // pointer until its release, wherever that happens, as a desktop window's capture does.
  static EM_BOOL onUp(int, const EmscriptenMouseEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    int button = gameButton(e->button);
    if ((s->pressedHere & button) == 0)
      return EM_FALSE;
    s->pressedHere &= ~button;
    s->follow(*e);
    s->deliver(s->mouse(forms::MouseInput::Type::Up, button, *e));
    return EM_TRUE;
  }

  static EM_BOOL onMove(int, const EmscriptenMouseEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    if (s->pressedHere == 0 && !s->over(*e))
      return EM_FALSE;
    s->follow(*e);
    s->deliver(s->mouse(forms::MouseInput::Type::Move, e->buttons & 7, *e));
    return EM_FALSE;
  }

  static EM_BOOL onLockChange(int, const EmscriptenPointerlockChangeEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    s->locked = e->isActive;
    vw_show_sight(s->locked, s->x, s->y);
    return EM_FALSE;
  }
};

namespace {

WebHost::State* page = nullptr;  // the one game on the page, for the page's plain callbacks

void pageClosed() {
  page->deliver(CloseRequest{});
}

void messageBoxClosed() {
  page->modal = false;
  page->turn();
}

void assetsLoaded() {
  WebHost::State& s = *page;
  s.form = s.makeForm(s.host);
  s.session.emplace(s.host, *s.form, s.chrome);
  if (Status started = s.session->start(); !started.ok()) {
    std::fprintf(stderr, "vombrel: %s\n", started.error.c_str());
    s.ended = true;
    return;
  }
  // The sounds decode while the player looks at the first frame; the first press wakes the
  // page's sound anyway, and a sound asked for before it is decoded waits for itself.
  for (int id = 1; id <= 9; ++id) {
    if (auto wav = assets::find(assets::kSoundType, id))
      vw_load_sound(soundKey(*wav), wav->data(), wav->size());
  }
  s.turn();
}

}  // namespace

WebHost::WebHost() : state_(std::make_unique<State>(*this)) {
  page = state_.get();
}

WebHost::~WebHost() {
  page = nullptr;
}

void WebHost::play(FormMaker makeForm, Session::Chrome chrome) {
  state_->makeForm = std::move(makeForm);
  state_->chrome = chrome;
  for (int id = static_cast<int>(assets::Pic::Landscape); id <= static_cast<int>(assets::Pic::Icon);
       ++id) {
    auto bytes = assets::picture(static_cast<assets::Pic>(id));
    vw_load_picture(bytes.data(), bytes.size());
  }
  for (auto [file, bold, italic] : {std::tuple{assets::FontFile::Regular, false, false},
                                    std::tuple{assets::FontFile::Bold, true, false},
                                    std::tuple{assets::FontFile::BoldItalic, true, true}}) {
    auto bytes = assets::font(file);
    vw_load_font(bytes.data(), bytes.size(), bold, italic);
  }
  vw_when_loaded(&assetsLoaded);
}

Status WebHost::open(const WindowSetup& setup) {
  images::Decoded cursor = images::decodeIconOrCursor(setup.cursor);
  if (!cursor.ok())
    return {"the gun sight cannot be read: " + cursor.error};
  State& s = *state_;
  s.width = setup.clientWidth;
  s.height = setup.clientHeight;
  vw_open(setup.title.c_str(), s.width, s.height, setup.cursor.data(), setup.cursor.size(),
          cursor.image.hotspotX, cursor.image.hotspotY, &pageClosed, &messageBoxClosed);
  emscripten_set_mousedown_callback(kCanvas, &s, EM_FALSE, &State::onDown);
  emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, &s, EM_FALSE, &State::onUp);
  emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, &s, EM_FALSE, &State::onMove);
  emscripten_set_pointerlockchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, &s, EM_FALSE,
                                            &State::onLockChange);
  return {};
}

HostEvent WebHost::wait(std::optional<forms::Millis>) {
  return Timeout{};
}

void WebHost::render(const forms::Frame& frame) {
  State& s = *state_;
  s.arrowAreas = frame.arrowCursorAreas;
  s.painter.paint(frame);
  // The canvas's fallback content holds the texts it shows, one a line, for screen readers.
  std::string texts;
  for (const forms::DrawCommand& c : frame.commands) {
    if (const auto* run = std::get_if<forms::DrawTextRun>(&c))
      texts += run->text + '\n';
  }
  if (texts != s.texts) {
    s.texts = std::move(texts);
    vw_show_texts(s.texts.c_str());
  }
}

void WebHost::playSound(std::span<const std::uint8_t> wav) {
  vw_play_sound(soundKey(wav), wav.data(), wav.size());
}

// The page cannot fence the pointer into a rectangle; it can lock it to the canvas, where the
// game moves its own pointer. The lock needs the player's gesture, and START's click is one.
void WebHost::clipCursor(std::optional<ClipRect> rect) {
  State& s = *state_;
  s.lockWanted = rect.has_value();
  if (s.lockWanted)
    s.lock();
  else if (s.locked)
    emscripten_exit_pointerlock();
}

// The dialog cannot block the page: it opens, and time and input wait until it is closed.
void WebHost::messageBox(const std::string& title, const std::string& text) {
  state_->modal = true;
  vw_message_box(title.c_str(), text.c_str());
}

forms::Millis WebHost::now() const {
  return static_cast<forms::Millis>(emscripten_get_now());
}

float WebHost::Rnd() {
  return state_->random.next();
}

forms::TextExtent WebHost::measureText(const forms::Font& font, std::string_view utf8) const {
  return state_->painter.measure(font, utf8);
}

forms::WindowRect WebHost::windowRect() const {
  const State& s = *state_;
  return {vw_canvas_left() * forms::kTwipsPerPixel, vw_canvas_top() * forms::kTwipsPerPixel,
          static_cast<double>(s.width * forms::kTwipsPerPixel),
          static_cast<double>(s.height * forms::kTwipsPerPixel)};
}

forms::ScreenInfo WebHost::screen() const {
  return {vw_viewport_width() * forms::kTwipsPerPixel,
          vw_viewport_height() * forms::kTwipsPerPixel};
}

}  // namespace platform::web
