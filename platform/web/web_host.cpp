// The browser host; see web_host.h. Input comes through html5.h's callbacks, time through
// emscripten_set_timeout, and the page's own parts (canvas, sound, dialog) through web_page.h.
#include "platform/web/web_host.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "platform/images/image_decoders.h"
#include "platform/pointer.h"
#include "platform/turns.h"
#include "platform/web/web_page.h"
#include "platform/web/web_painter.h"
#include "platform/web/web_reading.h"

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

// The page's `button` counts 0 left, 1 middle, 2 right; its `buttons` already are the game's bits.
int gameButton(unsigned short domButton) {
  return buttonBits(domButton == 0, domButton == 2, domButton == 1);
}

int modifierKeys(const EmscriptenMouseEvent& e) {
  return modifierBits(e.shiftKey, e.ctrlKey, e.altKey);
}

}  // namespace

struct WebHost::State {
  forms::RandomSequence random;
  Painter painter;
  Loop* loop = nullptr;  // the game's, from serve()
  int width = 0, height = 0;
  bool running = false;  // a run has begun and its window has not closed
  bool modal = false;    // the message box is open: time and input wait
  long timeout = 0;      // the pending emscripten_set_timeout, 0 for none

  // The game's clock leaves out the time the page spent hidden: a hidden page is out of sight,
  // so the game's time stands still and no timer falls due while nobody can play.
  double hiddenSince = -1;  // when the page was hidden, or -1 while it shows
  double hiddenFor = 0;     // the time of every earlier hiding together

  // The pointer: where the game last saw it, and while it is locked the game moves it itself.
  double x = 0, y = 0;
  bool lockWanted = false, locked = false;
  int pressedHere = 0;  // buttons pressed on the canvas and not yet released
  int finger = -1;      // the touch that acts as the left button, -1 for none
  std::vector<forms::PixelRect> arrowAreas;
  bool arrowShown = false;
  std::string texts;                // what the canvas's fallback content reads
  std::optional<std::string> news;  // what the live region last said

  // The last press, for counting double clicks.
  int lastButton = 0, clicks = 0;
  double lastPressAt = -1e9, lastPressX = 0, lastPressY = 0;

  double clock() const {
    double t = emscripten_get_now();
    return t - hiddenFor - (hiddenSince >= 0 ? t - hiddenSince : 0);
  }

  bool paused() const { return modal || hiddenSince >= 0; }
  bool idle() const { return !running || paused(); }

  void deliver(const HostEvent& event) {
    if (!idle())
      loop->deliver(event);
  }

  void cancelTimeout() {
    if (timeout != 0) {
      emscripten_clear_timeout(timeout);
      timeout = 0;
    }
  }

  // A new run of the program on the same page: the game's loop makes a fresh form and runs Load
  // again, and the random sequence starts from its beginning, as every run of the desktop
  // program's does.
  void begin() {
    cancelTimeout();
    random = {};
    painter = {};
    modal = false;
    news.reset();
    texts.clear();
    pressedHere = 0;
    finger = -1;
    clicks = 0;
    running = loop->begin();
  }

  static void onTimeout(void* data) {
    auto* s = static_cast<State*>(data);
    s->timeout = 0;
    s->deliver(Timeout{});
  }

  static EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    double t = emscripten_get_now();
    if (e->hidden && s->hiddenSince < 0) {
      s->hiddenSince = t;
    } else if (!e->hidden && s->hiddenSince >= 0) {
      s->hiddenFor += t - s->hiddenSince;
      s->hiddenSince = -1;
    }
    if (s->hiddenSince >= 0)
      s->cancelTimeout();
    else if (s->running)
      s->loop->resume();
    return EM_FALSE;
  }

  // Moves the game's pointer. The page draws the gun sight there, scaled like the scene, for a
  // mouse over the scene or locked to it; a finger needs none, and the buttons show the arrow.
  void pointAt(double px, double py, bool mouse) {
    x = std::clamp(px, 0.0, width - 1.0);
    y = std::clamp(py, 0.0, height - 1.0);
    bool arrow = showsArrow(arrowAreas, static_cast<int>(x), static_cast<int>(y));
    if (arrow != arrowShown) {
      arrowShown = arrow;
      vw_arrow_cursor(arrow);
    }
    vw_show_sight(locked || (mouse && !arrow), x, y);
  }

  // A point on the page, in CSS pixels from the viewport's corner, in the game's pixels.
  double sceneX(double clientX) const { return (clientX - vw_canvas_left()) / vw_css_scale(); }
  double sceneY(double clientY) const { return (clientY - vw_canvas_top()) / vw_css_scale(); }

  forms::MouseInput input(forms::MouseInput::Type type, int button, int shift) const {
    forms::MouseInput in;
    in.type = type;
    in.button = button;
    in.shift = shift;
    in.x = x;
    in.y = y;
    return in;
  }

  // A press at the game's pointer; a second one this soon and this near is a double click.
  void press(int button, int shift) {
    double t = emscripten_get_now();
    bool again = button == lastButton && t - lastPressAt <= kDoubleClickMs &&
                 std::abs(x - lastPressX) <= kDoubleClickRadius &&
                 std::abs(y - lastPressY) <= kDoubleClickRadius;
    clicks = again ? clicks + 1 : 1;
    lastButton = button;
    lastPressAt = t;
    lastPressX = x;
    lastPressY = y;
    pressedHere |= button;
    forms::MouseInput in = input(forms::MouseInput::Type::Down, button, shift);
    in.doubleClick = clicks % 2 == 0;
    deliver(in);
  }

  void release(int button, int shift) {
    pressedHere &= ~button;
    deliver(input(forms::MouseInput::Type::Up, button, shift));
  }

  // Where the pointer is over the canvas, unless the game holds it locked.
  void follow(const EmscriptenMouseEvent& e) {
    if (locked)
      pointAt(x + e.movementX / vw_css_scale(), y + e.movementY / vw_css_scale(), true);
    else
      pointAt(sceneX(e.clientX), sceneY(e.clientY), true);
  }

  bool over(const EmscriptenMouseEvent& e) const {
    double cx = sceneX(e.clientX), cy = sceneY(e.clientY);
    return locked || (cx >= 0 && cy >= 0 && cx < width && cy < height);
  }

  static EM_BOOL onDown(int, const EmscriptenMouseEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    int button = gameButton(e->button);
    if (s->idle() || button == 0)
      return EM_TRUE;
    // The player left the lock with Esc during a game: this press asks for it again.
    if (s->lockWanted && !s->locked)
      vw_request_lock();
    s->follow(*e);
    s->press(button, modifierKeys(*e));
    return EM_TRUE;
  }

  // Releases and moves are watched on the whole document: a press on the canvas holds the
  // pointer until its release, wherever that happens, as a desktop window's capture does.
  static EM_BOOL onUp(int, const EmscriptenMouseEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    int button = gameButton(e->button);
    if ((s->pressedHere & button) == 0 || s->finger >= 0)
      return EM_FALSE;
    s->follow(*e);
    s->release(button, modifierKeys(*e));
    return EM_TRUE;
  }

  static EM_BOOL onMove(int, const EmscriptenMouseEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    if (s->finger >= 0 || !s->running)
      return EM_FALSE;
    if (s->pressedHere == 0 && !s->over(*e)) {
      vw_show_sight(false, 0, 0);  // the page's own cursor off the scene
      return EM_FALSE;
    }
    s->follow(*e);
    s->deliver(s->input(forms::MouseInput::Type::Move, e->buttons & 7, modifierKeys(*e)));
    return EM_FALSE;
  }

  // A finger is the left button where it touches: it never asks for the lock, since a locked
  // pointer would stay where it was and every tap would land there. The page's touches come
  // one by one (vw_listen), and the page keeps the browser from scrolling, zooming or
  // sending mouse events after them.
  void touch(TouchKind kind, int id, double clientX, double clientY) {
    if (kind == TouchKind::Start) {
      if (idle() || finger >= 0 || pressedHere != 0)
        return;
      finger = id;
      pointAt(sceneX(clientX), sceneY(clientY), false);
      press(1, 0);
      return;
    }
    if (id != finger)
      return;
    if (kind == TouchKind::Move) {
      pointAt(sceneX(clientX), sceneY(clientY), false);
      deliver(input(forms::MouseInput::Type::Move, 1, 0));
      return;
    }
    if (kind == TouchKind::Cancel) {
      pressedHere &= ~1;  // the browser took the touch: no release, so no click
    } else {
      pointAt(sceneX(clientX), sceneY(clientY), false);
      release(1, 0);  // a START tapped here asks for no lock: the finger is still ours
    }
    finger = -1;
  }

  static EM_BOOL onLockChange(int, const EmscriptenPointerlockChangeEvent* e, void* data) {
    auto* s = static_cast<State*>(data);
    s->locked = e->isActive;
    vw_show_sight(s->locked, s->x, s->y);  // a freed pointer shows the sight at its next move
    return EM_FALSE;
  }
};

namespace {

WebHost::State* page = nullptr;  // the one game on the page, for the page's plain callbacks

// Leaving the page closes the window, though the page was hidden first or a message box is open.
void pageClosed() {
  if (page->running)
    page->loop->close();
}

void messageBoxClosed() {
  page->modal = false;
  if (page->running)
    page->loop->resume();
}

// The canvas took a new size: every pixel of the scene is painted again at once, even while
// the message box is open or the page is hidden.
void relayout() {
  if (page->running)
    page->loop->repaint();
}

void playAgain() {
  page->begin();
}

void touched(int kind, int id, double clientX, double clientY) {
  page->touch(static_cast<TouchKind>(kind), id, clientX, clientY);
}

void assetsLoaded() {
  WebHost::State& s = *page;
  s.begin();
  // The sounds decode while the player looks at the first frame; the first press wakes the
  // page's sound anyway, and a sound asked for before it is decoded waits for itself.
  for (int id = 1; id <= 9; ++id) {
    if (auto wav = assets::find(assets::kSoundType, id))
      vw_load_sound(soundKey(*wav), wav->data(), wav->size());
  }
}

}  // namespace

WebHost::WebHost() : state_(std::make_unique<State>()) {
  page = state_.get();
}

WebHost::~WebHost() {
  page = nullptr;
}

// The page's events are listened to from the start, in a task before the first run's: until a
// run begins, the game hears nothing of them.
void WebHost::serve(Loop& loop) {
  State& s = *state_;
  s.loop = &loop;
  vw_listen(&pageClosed, &messageBoxClosed, &relayout, &playAgain, &touched);
  emscripten_set_mousedown_callback(kCanvas, &s, EM_FALSE, &State::onDown);
  emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, &s, EM_FALSE, &State::onUp);
  emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, &s, EM_FALSE, &State::onMove);
  emscripten_set_pointerlockchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, &s, EM_FALSE,
                                            &State::onLockChange);
  emscripten_set_visibilitychange_callback(&s, EM_FALSE, &State::onVisibility);
  EmscriptenVisibilityChangeEvent shown;
  if (emscripten_get_visibility_status(&shown) == EMSCRIPTEN_RESULT_SUCCESS && shown.hidden)
    s.hiddenSince = emscripten_get_now();
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
  // The page keeps its own title, the game's name: the window's caption is the game's.
  vw_open(s.width, s.height, setup.cursor.data(), setup.cursor.size(), cursor.image.hotspotX,
          cursor.image.hotspotY);
  return {};
}

void WebHost::render(const forms::Frame& frame) {
  State& s = *state_;
  s.arrowAreas = frame.arrowCursorAreas;
  s.painter.paint(frame);
  // The canvas's fallback content holds the texts it shows, for screen readers.
  std::string texts = readingOf(frame);
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
// A finger needs no fence: a game started by a tap takes the lock at the mouse's next press.
void WebHost::clipCursor(std::optional<ClipRect> rect) {
  State& s = *state_;
  s.lockWanted = rect.has_value();
  if (!s.lockWanted)
    vw_exit_lock();
  else if (!s.locked && s.finger < 0)
    vw_request_lock();
}

// The dialog cannot block the page: it opens, and time and input wait until it is closed.
void WebHost::messageBox(const std::string& title, const std::string& text) {
  state_->modal = true;
  state_->cancelTimeout();
  vw_message_box(title.c_str(), text.c_str());
}

bool WebHost::paused() const {
  return state_->paused();
}

void WebHost::wakeAt(std::optional<forms::Millis> deadline) {
  State& s = *state_;
  s.cancelTimeout();
  // Counted from the game's own whole milliseconds, so that the timer is due when it fires.
  if (auto delay = sleepUntil(deadline, now())) {
    s.timeout = emscripten_set_timeout(&State::onTimeout, static_cast<double>(*delay), &s);
  }
}

// The live region speaks when the form's news change, but not of the opening scene.
void WebHost::announce(const std::string& news) {
  State& s = *state_;
  if (s.news && *s.news != news)
    vw_announce(news.c_str());
  s.news = news;
}

// The program has ended with its window: no message, no sound, the pointer free, and the page
// says so over the scene as it stood, offering a new run.
void WebHost::ended() {
  State& s = *state_;
  s.running = false;
  s.cancelTimeout();
  s.lockWanted = false;
  vw_exit_lock();
  vw_show_sight(false, 0, 0);
  vw_end_program();
}

forms::Millis WebHost::now() const {
  return static_cast<forms::Millis>(state_->clock());
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
