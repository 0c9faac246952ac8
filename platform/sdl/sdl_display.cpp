// The desktop's dots per inch and the pointer grab on X; see sdl_display.h. Kept apart from the
// rest of the host because they need Xlib, whose macros (Status, None, Bool) clash with ordinary
// names.
#include "platform/sdl/sdl_display.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xproto.h>
#endif
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
#include <dlfcn.h>
#include <wayland-client-core.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace platform::sdl {

namespace {

#if defined(SDL_VIDEO_DRIVER_X11)
XErrorHandler xlibsOwn = nullptr;

int forgiveLateWakeUp(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) {
    return 0;
  }
  return xlibsOwn != nullptr ? xlibsOwn(display, error) : 0;
}

struct XWindowOf {
  Display* display = nullptr;
  Window window = 0;
};

std::optional<XWindowOf> xWindowOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
    return std::nullopt;
  }
  return XWindowOf{info.info.x11.display, info.info.x11.window};
}

// Whether the window manager says it knows the request or property `atom` (EWMH's _NET_SUPPORTED).
bool windowManagerSupports(Display* display, Atom atom) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool listed = false;
  if (XGetWindowProperty(display, DefaultRootWindow(display),
                         XInternAtom(display, "_NET_SUPPORTED", False), 0, 1024, False, XA_ATOM,
                         &type, &format, &count, &after, &data) == Success &&
      type == XA_ATOM && format == 32) {
    auto* atoms = reinterpret_cast<const Atom*>(data);
    listed = std::find(atoms, atoms + count, atom) != atoms + count;
  }
  if (data != nullptr) {
    XFree(data);
  }
  return listed;
}
#endif

}  // namespace

void forgiveLateWakeUps() {
#if defined(SDL_VIDEO_DRIVER_X11)
  static const bool forgiving = [] {
    xlibsOwn = XSetErrorHandler(forgiveLateWakeUp);
    return true;
  }();
  (void)forgiving;
#endif
}

Dpi desktopDpi(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (auto x = xWindowOf(window)) {
    // X desktops publish their scale as the Xft.dpi resource (192 at 200 %); SDL's figure on X
    // is the monitor's physical density, which would make a 93-dpi monitor's twips crooked.
    // Anyone can write the resource, so what is not a positive number counts as unset.
    const char* xft = XGetDefault(x->display, "Xft", "dpi");
    double dpi = xft != nullptr ? std::round(std::atof(xft)) : 0;
    return std::isfinite(dpi) && dpi > 0 ? Dpi{dpi, dpi} : Dpi{};
  }
#endif
  // On Wayland the window is measured in the desktop's own units: the compositor draws it at
  // its output's scale (twice over at 200 %) and SDL's figure there is the monitor's physical
  // density, which would scale the window a second time.
  if (std::string_view(SDL_GetCurrentVideoDriver()) == "wayland") {
    return {};
  }
  // Elsewhere (Windows) SDL reports the desktop's setting; window systems work in whole dots per
  // inch.
  float diagonal = 0, h = 0, v = 0;
  int display = std::max(0, SDL_GetWindowDisplayIndex(window));
  if (SDL_GetDisplayDPI(display, &diagonal, &h, &v) != 0 || h <= 0 || v <= 0) {
    return {};
  }
  return {std::round(h), std::round(v)};
}

bool windowManagerCanFullscreen(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (auto x = xWindowOf(window)) {
    // A window manager that follows the desktop conventions names its own window here.
    Atom check = XInternAtom(x->display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool named = XGetWindowProperty(x->display, DefaultRootWindow(x->display), check, 0, 1, False,
                                    XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
                 type == XA_WINDOW && count == 1;
    if (data != nullptr) {
      XFree(data);
    }
    return named;
  }
#endif
  (void)window;
  return true;
}

std::optional<desktop::Frame> askFrame(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  auto x = xWindowOf(window);
  Atom request = x ? XInternAtom(x->display, "_NET_REQUEST_FRAME_EXTENTS", False) : 0;
  if (!x || !windowManagerSupports(x->display, request)) {
    return std::nullopt;
  }
  XEvent ask{};
  ask.xclient.type = ClientMessage;
  ask.xclient.window = x->window;
  ask.xclient.message_type = request;
  ask.xclient.format = 32;
  XSendEvent(x->display, DefaultRootWindow(x->display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &ask);
  return awaitFrame(window);
#else
  (void)window;
  return std::nullopt;
#endif
}

std::optional<desktop::Frame> awaitFrame(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  auto x = xWindowOf(window);
  if (!x || !windowManagerCanFullscreen(window)) {
    return std::nullopt;
  }
  XFlush(x->display);
  Atom extents = XInternAtom(x->display, "_NET_FRAME_EXTENTS", False);
  for (int tries = 0; tries < 30; ++tries) {
    std::optional<desktop::Frame> frame;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x->display, x->window, extents, 0, 4, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && count == 4) {
      // Left, right, top, bottom.
      auto* side = reinterpret_cast<const long*>(data);
      frame = desktop::Frame{static_cast<int>(side[0]), static_cast<int>(side[2]),
                             static_cast<int>(side[1]), static_cast<int>(side[3])};
    }
    if (data != nullptr) {
      XFree(data);
    }
    if (frame) {
      return frame;
    }
    SDL_Delay(10);
  }
#else
  (void)window;
#endif
  return std::nullopt;
}

void windowOrigin(SDL_Window* window, int* x, int* y) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (auto xw = xWindowOf(window)) {
    Window child = 0;
    if (XTranslateCoordinates(xw->display, xw->window, DefaultRootWindow(xw->display), 0, 0, x, y,
                              &child) != 0) {
      return;
    }
  }
#endif
  SDL_GetWindowPosition(window, x, y);
}

void fixSize(SDL_Window* window, desktop::Size size) {
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if ((SDL_GetWindowFlags(window) & SDL_WINDOW_RESIZABLE) == 0 ||
      SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_WAYLAND ||
      info.info.wl.xdg_toplevel == nullptr) {
    return;
  }
  // The Wayland library SDL loaded for itself: the game is not linked with it, so that it does
  // not load on X.
  static void* library = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_NOLOAD);
  using Marshal = wl_proxy* (*)(wl_proxy*, std::uint32_t, const wl_interface*, std::uint32_t,
                                std::uint32_t, ...);
  using Version = std::uint32_t (*)(wl_proxy*);
  auto marshal =
      library ? reinterpret_cast<Marshal>(dlsym(library, "wl_proxy_marshal_flags")) : nullptr;
  auto version =
      library ? reinterpret_cast<Version>(dlsym(library, "wl_proxy_get_version")) : nullptr;
  if (marshal == nullptr || version == nullptr) {
    return;
  }
  // xdg_toplevel's set_max_size and set_min_size, whose numbers the protocol fixes for good.
  auto* toplevel = reinterpret_cast<wl_proxy*>(info.info.wl.xdg_toplevel);
  for (std::uint32_t request : {7u, 8u}) {
    marshal(toplevel, request, nullptr, version(toplevel), 0, size.width, size.height);
  }
#else
  (void)window;
  (void)size;
#endif
}

namespace {

// The files this process maps whose paths hold `part`.
std::set<std::string> mappedFiles(std::string_view part) {
  std::ifstream maps("/proc/self/maps");
  std::set<std::string> files;
  for (std::string line; std::getline(maps, line);) {
    auto path = line.find('/');
    if (path != std::string::npos && line.find(part, path) != std::string::npos) {
      files.insert(line.substr(path));
    }
  }
  return files;
}

}  // namespace

bool titleBarDrawnBySdl() {
  // SDL loads a libdecor plugin, which draws it, only when it uses libdecor.
  return std::string_view(SDL_GetCurrentVideoDriver()) == "wayland" &&
         !mappedFiles("/libdecor/plugins").empty();
}

void forgetCursorFiles() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || std::string_view(SDL_GetCurrentVideoDriver()) != "wayland") {
    return;
  }
  for (const std::string& file : mappedFiles(std::string(runtime) + "/sdl-shared-")) {
    ::unlink(file.c_str());
  }
}

PointerGrab PointerHold::take(desktop::Rect area) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (auto x = xWindowOf(window_)) {
    const unsigned int width = std::max(1, area.width), height = std::max(1, area.height);
    if (fence_ == 0) {
      XSetWindowAttributes unused{};
      fence_ = XCreateWindow(x->display, x->window, area.x, area.y, width, height, 0,
                             CopyFromParent, InputOnly, CopyFromParent, 0, &unused);
    } else {
      XMoveResizeWindow(x->display, fence_, area.x, area.y, width, height);
    }
    // Mapped before the grab is asked for: the server keeps the pointer only in a window that
    // shows.
    XMapWindow(x->display, fence_);
    // SDL answers every pointer entering its window by taking its own grab, or, as here where it
    // has none, by letting go of any: the entry that this very grab makes when it brings the
    // pointer in from outside or out of the fence would end it at once. The window hears of no
    // entries while it holds the pointer, which cannot leave it meanwhile anyway.
    if (!entriesMuted_) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(x->display, x->window, &attributes) != 0) {
        XSelectInput(x->display, x->window, attributes.your_event_mask & ~EnterWindowMask);
        entriesMuted_ = true;
      }
    }
    // As SDL grabs: the window gets the pointer's motion and buttons.
    const unsigned int mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    if (XGrabPointer(x->display, x->window, False, mask, GrabModeAsync, GrabModeAsync, fence_, 0,
                     CurrentTime) != GrabSuccess) {
      release();
      return PointerGrab::Refused;
    }
    // A window that holds the pointer must not stay under another one.
    XRaiseWindow(x->display, x->window);
    XFlush(x->display);
    return PointerGrab::Taken;
  }
#endif
  (void)area;
  return PointerGrab::NotOnX;
}

void PointerHold::release() {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (auto x = xWindowOf(window_)) {
    // The server ignores this when another client holds the pointer.
    XUngrabPointer(x->display, CurrentTime);
    if (fence_ != 0) {
      XUnmapWindow(x->display, fence_);
    }
    // After the ungrab, whose own entry SDL would answer by letting go once more.
    if (entriesMuted_) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(x->display, x->window, &attributes) != 0) {
        XSelectInput(x->display, x->window, attributes.your_event_mask | EnterWindowMask);
      }
      entriesMuted_ = false;
    }
    XFlush(x->display);
  }
#endif
}

}  // namespace platform::sdl
