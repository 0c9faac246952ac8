// The SDL host's window as the player sees it; see sdl_window.h.
#include "platform/sdl/sdl_window.h"

#include <algorithm>
#include <string_view>

#include "platform/images/image_decoders.h"
#include "platform/pointer.h"
#include "platform/sdl/sdl_display.h"

namespace platform::sdl {

namespace {

// The keys the view answers, whatever the keyboard's layout: Ctrl+0 by the key's place too,
// since on a Czech keyboard that key types "é".
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

}  // namespace

WindowView::~WindowView() {
  SDL_DelEventWatch(watchSize, this);
}

Status WindowView::open(const WindowSetup& setup) {
  // Not resizable, so window managers offer no maximise; SDL has no way to drop minimise. On
  // Wayland SDL ignores every size the compositor proposes to a window that is not resizable,
  // even one it has already taken (a tile left for a float), and the picture would no longer fit
  // the window: there it is resizable to SDL, which then takes each size, and the compositor
  // hears that the size is fixed all the same (fixSize). Not where SDL draws the title bar
  // itself, which would then offer maximise and resizing; those compositors impose no size.
  wayland_ = std::string_view(SDL_GetCurrentVideoDriver()) == "wayland";
  const bool resizable = wayland_ && !titleBarDrawnBySdl();
  scene_ = {setup.clientWidth, setup.clientHeight};
  window_.reset(SDL_CreateWindow(setup.title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                 SDL_WINDOWPOS_UNDEFINED, setup.clientWidth, setup.clientHeight,
                                 SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI |
                                     (wayland_ ? SDL_WINDOW_OPENGL : 0) |
                                     (resizable ? SDL_WINDOW_RESIZABLE : 0)));
  if (window_ == nullptr) {
    return {"cannot create the window: " + sdlError()};
  }
  cursorImage_ = setup.cursor;
  SDL_AddEventWatch(watchSize, this);
  arrow_.reset(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW));
  // The frame is measured against the screen too, so it is asked for before the size is chosen.
  if (std::optional<desktop::Frame> frame = askFrame(window_.get())) {
    frame_ = *frame;
  }
  // The player's choice, made with the keys or on the command line, wins over the usual size.
  apply(choices_.start(limits()));
  return paintInto();
}

void WindowView::hide() {
  if (window_ != nullptr) {
    SDL_HideWindow(window_.get());
  }
}

// The gun sight at the scene's factor, so that it still frames what it hits.
void WindowView::loadCursor() {
  images::Decoded decoded = images::decodeIconOrCursor(cursorImage_);
  if (!decoded.ok()) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot decode the gun sight cursor: %s",
                decoded.error.c_str());
    return;
  }
  const int k = view_.factor;
  SurfaceOwner sight(surfaceFrom(decoded.image));
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
  forgetCursorFiles();
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
desktop::FactorLimits WindowView::limits() const {
  const desktop::Rect usable = usableArea();
  return desktop::factorLimits(scene_, {usable.width, usable.height}, frame_,
                               desktopDpi(window_.get()).x);
}

desktop::Rect WindowView::usableArea() const {
  int display = std::max(0, SDL_GetWindowDisplayIndex(window_.get()));
  SDL_Rect usable{0, 0, scene_.width, scene_.height};
  SDL_GetDisplayUsableBounds(display, &usable);
  return {usable.x, usable.y, usable.w, usable.h};
}

desktop::Rect WindowView::clientRect() const {
  desktop::Rect r;
  windowOrigin(window_.get(), &r.x, &r.y);
  SDL_GetWindowSize(window_.get(), &r.width, &r.height);
  return r;
}

// Asks the window system for the window the choice describes; followSize() paints into
// whatever it gives. A window of a new size keeps its centre where it was, moved only as far as
// its frame must to stay on the screen; one that leaves fullscreen goes back where it stood.
void WindowView::apply(desktop::Choice choice) {
  SDL_Window* w = window_.get();
  if (choice.fullscreen) {
    if (!placed_) {
      // Opening fullscreen, the window gets its size and place first: a window manager keeps
      // them for when it leaves fullscreen.
      apply({choice.factor, false});
    } else if (!fullscreen_) {
      windowed_ = clientRect();
    }
    fullscreen_ = true;
    SDL_Rect screen;
    if (windowManagerCanFullscreen(w)) {
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
  fixSize(w, size);
  const desktop::Rect framed = desktop::keepCentre(
      was, {size.width + f.left + f.right, size.height + f.top + f.bottom}, usable);
  asked_ = {framed.x + f.left, framed.y + f.top, size.width, size.height};
  // On Wayland the compositor's size is the window's: a tile, a maximised window.
  askAgain_ = wayland_ ? 0 : 3;
  if ((SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN) != 0) {
    // Leaving fullscreen, SDL moves the window back itself: it is told the size and the place
    // first, and moves it once.
    SDL_SetWindowSize(w, size.width, size.height);
    moveClientTo(asked_.x, asked_.y);
    SDL_SetWindowFullscreen(w, 0);
    // SDL has told the compositor the window's bounds again, its own, which are none.
    fixSize(w, size);
    return;
  }
  SDL_SetWindowSize(w, size.width, size.height);
  moveClientTo(asked_.x, asked_.y);
}

desktop::Rect WindowView::dense(desktop::Rect r) const {
  return {r.x * density_, r.y * density_, r.width * density_, r.height * density_};
}

// SDL places a window by its frame, taking off the frame as SDL knows it then, which lags behind
// the window manager: none in fullscreen and a moment after. It is told where the frame goes.
void WindowView::moveClientTo(int x, int y) {
  desktop::Frame known;
  SDL_GetWindowBordersSize(window_.get(), &known.top, &known.left, &known.bottom, &known.right);
  SDL_SetWindowPosition(window_.get(), x - frame_.left + known.left, y - frame_.top + known.top);
}

// Reads what the window manager draws around the window, which it knows once it has mapped the
// window, and not in fullscreen, where there is none; true when that changed.
bool WindowView::followFrame() {
  desktop::Frame now;
  // Just out of fullscreen, SDL still tells of none for a moment: a window that had a frame
  // has it back.
  if (SDL_GetWindowBordersSize(window_.get(), &now.top, &now.left, &now.bottom, &now.right) != 0 ||
      now == frame_ || now == desktop::Frame{}) {
    return false;
  }
  frame_ = now;
  return true;
}

// Draws the scene into the window's pixels as the window is now: in a window of its own size at
// its factor; in any other size (fullscreen, or one a compositor imposes: tiled, maximised) at
// the largest factor that fits, centred on black.
Status WindowView::paintInto() {
  painter_.reset();
  renderer_.reset();
  sceneSurface_.reset();
  pixelsGone_ = false;
  int w = 0, h = 0;
  SDL_GetWindowSize(window_.get(), &w, &h);
  int oldFactor = view_.factor;
  view_ = desktop::fullscreenView(scene_, {w, h});
  SDL_Surface* pixels = windowPixels({w, h});
  if (pixels == nullptr) {
    return {"cannot draw into the window: " + sdlError()};
  }
  SDL_FillRect(pixels, nullptr, SDL_MapRGB(pixels->format, 0, 0, 0));
  const desktop::Rect r = dense(view_.scene);
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
  painter_ = std::make_unique<Painter>(renderer_.get(), fonts_, view_.factor * density_);
  if (view_.factor != oldFactor || gunSight_ == nullptr) {
    loadCursor();
  }
  return {};
}

// The pixels the scene is drawn into. On X, the window's own, at its size. On Wayland SDL has no
// such pixels, only a picture it sends through a renderer of its own, and that picture has the
// window's size in the desktop's units, which a desktop at 200 % stretches: the game draws into
// pixels of its own at the output's density instead (text at the real pixel size, as on X at
// 2x) and sends them through a renderer of its own.
SDL_Surface* WindowView::windowPixels(desktop::Size size) {
  if (!wayland_) {
    return SDL_GetWindowSurface(window_.get());
  }
  shown_.reset();
  canvas_.reset();
  if (screen_ == nullptr) {
    screen_.reset(SDL_CreateRenderer(window_.get(), -1, 0));
  }
  if (screen_ == nullptr) {
    return nullptr;
  }
  // The window's pixels lag behind a new size (one that opens fullscreen has the usual size's
  // until the compositor has shown it): the density is read only from pixels that fit the size.
  int pixels = 0, unused = 0;
  SDL_GetWindowSizeInPixels(window_.get(), &pixels, &unused);
  if (pixels >= size.width && size.width > 0 && pixels % size.width == 0) {
    density_ = pixels / size.width;
  }
  const int w = size.width * density_, h = size.height * density_;
  shown_.reset(SDL_CreateTexture(screen_.get(), SDL_PIXELFORMAT_XRGB8888,
                                 SDL_TEXTUREACCESS_STREAMING, w, h));
  if (shown_ != nullptr) {
    canvas_.reset(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888));
  }
  return canvas_.get();
}

// Sends the window's pixels in `area` (all of them without one) to the screen.
void WindowView::sendToScreen(const SDL_Rect* area) {
  if (!wayland_) {
    area ? SDL_UpdateWindowSurfaceRects(window_.get(), area, 1)
         : SDL_UpdateWindowSurface(window_.get());
    return;
  }
  if (canvas_ == nullptr) {
    return;
  }
  SDL_Rect all{0, 0, canvas_->w, canvas_->h};
  const SDL_Rect& r = area ? *area : all;
  SDL_UpdateTexture(shown_.get(), &r,
                    static_cast<const Uint8*>(canvas_->pixels) + r.y * canvas_->pitch + r.x * 4,
                    canvas_->pitch);
  SDL_RenderCopy(screen_.get(), shown_.get(), nullptr, nullptr);
  SDL_RenderPresent(screen_.get());
}

// Called by SDL as it queues each event, in whichever thread queues it.
int WindowView::watchSize(void* view, SDL_Event* e) {
  if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
    static_cast<WindowView*>(view)->pixelsGone_ = true;
  }
  return 0;
}

// SDL drops the old pixels as soon as it hears of the new size, so this runs before any drawing.
bool WindowView::followSize() {
  int w = 0, h = 0;
  SDL_GetWindowSize(window_.get(), &w, &h);
  if (renderer_ != nullptr && !pixelsGone_ && desktop::Size{w, h} == view_.client) {
    return false;
  }
  // An X window manager may give the window a size other than the fixed one it was asked for:
  // fluxbox brings it back from fullscreen three rows taller each time. The size and the place
  // are asked for again, a few times at most, since the sizes the window passes through on the
  // way are not the window manager's last word.
  if (!fullscreen_ && askAgain_ > 0 && (w != asked_.width || h != asked_.height)) {
    --askAgain_;
    SDL_SetWindowSize(window_.get(), asked_.width, asked_.height);
    moveClientTo(asked_.x, asked_.y);
  }
  if (Status st = paintInto(); !st.ok()) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "%s", st.error.c_str());
    return true;
  }
  forms::Frame all = lastFrame_;
  all.damage = {0, 0, scene_.width, scene_.height};
  painter_->paint(all);
  SDL_RenderFlush(renderer_.get());
  sendToScreen(nullptr);
  updateCursor();
  return true;
}

void WindowView::show() {
  if (window_ == nullptr) {
    return;
  }
  SDL_ShowWindow(window_.get());
  SDL_PumpEvents();
  if (!fullscreen_) {
    fixSize(window_.get(), view_.client);
    // Where the window manager did not tell of its frame before, it has put it around the
    // window now: the factor the program opens with is chosen again with the frame on the
    // screen too, before the first picture.
    std::optional<desktop::Frame> frame = awaitFrame(window_.get());
    if (frame && *frame != frame_) {
      frame_ = *frame;
      apply(choices_.start(limits()));
      followSize();
    }
  }
  placed_ = true;
}

void WindowView::render(const forms::Frame& frame) {
  if (window_ == nullptr) {
    return;
  }
  lastFrame_ = frame;
  arrowAreas_ = frame.arrowCursorAreas;
  if (followSize() || painter_ == nullptr || frame.damage.empty()) {
    return;
  }
  painter_->paint(frame);
  presentDamage(frame.damage);
  // The scene may have moved under a pointer that stands still.
  updateCursor();
}

// Sends the damaged part of the window to the screen, and no more: at 5x a whole frame would be
// six megabytes for a figure that moved a few pixels.
void WindowView::presentDamage(const forms::PixelRect& damage) {
  forms::PixelRect d = damage.intersect({0, 0, scene_.width, scene_.height});
  if (d.empty()) {
    return;
  }
  SDL_RenderFlush(renderer_.get());
  desktop::Rect r = dense(view_.toClient({d.x, d.y, d.w, d.h}));
  SDL_Rect area{r.x, r.y, r.width, r.height};
  sendToScreen(&area);
}

// The window shows the gun sight, except over the picture boxes, where the arrow shows.
void WindowView::updateCursor() {
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

// The view keys are the host's: the game has no keys, and gets none of these.
bool WindowView::keyPressed(const SDL_Keysym& key) {
  SDL_Keymod mod = SDL_GetModState();
  auto changed =
      choices_.press(viewKey(key), (mod & KMOD_CTRL) != 0, (mod & KMOD_ALT) != 0, limits());
  if (changed) {
    apply(*changed);
    followSize();
  }
  return changed.has_value();
}

void WindowView::moved() {
  if (!fullscreen_) {
    followFrame();
  }
}

void WindowView::present() {
  sendToScreen(nullptr);
}

forms::WindowRect WindowView::windowRect() const {
  if (window_ == nullptr) {
    return {};
  }
  int x = 0, y = 0, w = 0, h = 0;
  SDL_GetWindowPosition(window_.get(), &x, &y);
  SDL_GetWindowSize(window_.get(), &w, &h);
  // Without a window manager there is no frame, and SDL says so by failing: zero it is.
  desktop::Frame f;
  if (SDL_GetWindowBordersSize(window_.get(), &f.top, &f.left, &f.bottom, &f.right) != 0) {
    f = {};
  }
  return view_.windowTwips({x - f.left, y - f.top, w + f.left + f.right, h + f.top + f.bottom});
}

forms::ScreenInfo WindowView::screen() const {
  SDL_Rect bounds;
  if (window_ == nullptr ||
      SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_.get())), &bounds) != 0) {
    return {};
  }
  return view_.screenTwips({bounds.w, bounds.h});
}

}  // namespace platform::sdl
