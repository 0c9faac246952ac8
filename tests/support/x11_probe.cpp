// Finding, capturing and closing a program's window on an X display; see x11_probe.h.
#include "tests/support/x11_probe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/support/child_process.h"

namespace support {

namespace {

// Errors such as BadWindow come when a window vanishes between our looking and our asking;
// the calls then report failure by their results, so the default handler (which exits) must
// not run.
int ignoreXError(Display*, XErrorEvent*) {
  return 0;
}

std::optional<unsigned long> cardinalProperty(Display* d, Window w, Atom property) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  std::optional<unsigned long> value;
  if (XGetWindowProperty(d, w, property, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                         &remaining, &data) == Success &&
      data != nullptr && format == 32 && count == 1) {
    value = *reinterpret_cast<unsigned long*>(data);
  }
  if (data != nullptr) {
    XFree(data);
  }
  return value;
}

std::string windowTitle(Display* d, Window w) {
  std::string title;
  XTextProperty text;
  if (XGetWMName(d, w, &text) != 0 && text.value != nullptr) {
    title.assign(reinterpret_cast<const char*>(text.value), text.nitems);
    XFree(text.value);
  }
  return title;
}

// The window of the process with the title, among w and its descendants down to three levels
// (a window manager, if one runs, puts each top-level window into a frame of its own, and kwin
// into a wrapper inside that).
std::optional<Window> search(Display* d, Window w, Atom pidAtom, pid_t pid,
                             const std::string& title, int depth) {
  XWindowAttributes attrs;
  if (depth > 0 && XGetWindowAttributes(d, w, &attrs) != 0 && attrs.map_state == IsViewable &&
      cardinalProperty(d, w, pidAtom) == static_cast<unsigned long>(pid) &&
      windowTitle(d, w) == title) {
    return w;
  }
  if (depth == 3) {
    return std::nullopt;
  }
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  std::optional<Window> found;
  if (XQueryTree(d, w, &root, &parent, &children, &count) != 0) {
    for (unsigned int i = 0; i < count && !found; ++i) {
      found = search(d, children[i], pidAtom, pid, title, depth + 1);
    }
    if (children != nullptr) {
      XFree(children);
    }
  }
  return found;
}

int channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) {
    return 0;
  }
  int shift = 0;
  while (((mask >> shift) & 1) == 0) {
    ++shift;
  }
  unsigned long max = mask >> shift;
  return static_cast<int>(((pixel & mask) >> shift) * 255 / max);
}

// Reads one line from a pipe, waiting at most the timeout for it; empty when it does not come.
std::string readLine(int fd, std::chrono::milliseconds timeout) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (line.empty() || line.back() != '\n') {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
        read(fd, &c, 1) != 1) {
      return {};
    }
    line += c;
  }
  return line;
}

}  // namespace

XProbe::XProbe() {
  // A busy server may turn a connection away for a moment; a missing one never answers.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while ((display_ = XOpenDisplay(nullptr)) == nullptr &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (display_ == nullptr) {
    const char* name = std::getenv("DISPLAY");
    error_ = std::string("cannot open X display \"") + (name ? name : "") +
             "\" (run under an X server; scripts/test.sh starts Xvfb)";
    return;
  }
  XSetErrorHandler(ignoreXError);
}

XProbe::~XProbe() {
  if (display_ != nullptr) {
    XCloseDisplay(display_);
  }
}

std::optional<WindowId> XProbe::findWindow(pid_t pid, const std::string& title,
                                           std::chrono::milliseconds timeout) {
  if (display_ == nullptr) {
    return std::nullopt;
  }
  Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto w = search(display_, DefaultRootWindow(display_), pidAtom, pid, title, 0)) {
      return *w;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

Point XProbe::size(WindowId window) {
  XWindowAttributes attrs;
  if (XGetWindowAttributes(display_, window, &attrs) == 0) {
    return {};
  }
  return {attrs.width, attrs.height};
}

Point XProbe::origin(WindowId window) {
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
  return {x, y};
}

Image XProbe::capture(WindowId window) {
  Image image;
  Point whole = size(window);
  if (whole.x == 0 || whole.y == 0) {
    return image;
  }
  XImage* x = XGetImage(display_, window, 0, 0, whole.x, whole.y, AllPlanes, ZPixmap);
  if (x == nullptr) {
    return image;
  }
  image.width = x->width;
  image.height = x->height;
  image.pixels.reserve(static_cast<std::size_t>(x->width) * x->height);
  for (int py = 0; py < x->height; ++py) {
    for (int px = 0; px < x->width; ++px) {
      unsigned long p = XGetPixel(x, px, py);
      image.pixels.push_back({static_cast<std::uint8_t>(channel(p, x->red_mask)),
                              static_cast<std::uint8_t>(channel(p, x->green_mask)),
                              static_cast<std::uint8_t>(channel(p, x->blue_mask))});
    }
  }
  XDestroyImage(x);
  return image;
}

bool XProbe::hasFocus(WindowId window) {
  Window focus = 0;
  int revertTo = 0;
  XGetInputFocus(display_, &focus, &revertTo);
  return focus == window;
}

void XProbe::waitUntilItTakesClicks(WindowId window) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!hasFocus(window) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

std::optional<WindowId> XProbe::startGame(std::unique_ptr<ChildProcess>& game,
                                          const std::string& path, const ChildOptions& options) {
  game = std::make_unique<ChildProcess>(path, options);
  std::optional<WindowId> window;
  if (game->started()) {
    window = findWindow(game->pid(), "Vombrel !!!!", std::chrono::seconds(20));
  }
  if (window) {
    waitUntilItTakesClicks(*window);
  }
  return window;
}

Point XProbe::pointer() {
  Window root = 0, child = 0;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned int mask = 0;
  XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &wx, &wy, &mask);
  return {x, y};
}

bool XProbe::requestClose(WindowId window) {
  Atom protocols = XInternAtom(display_, "WM_PROTOCOLS", False);
  Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  Atom* supported = nullptr;
  int count = 0;
  bool takesIt = false;
  if (XGetWMProtocols(display_, window, &supported, &count) != 0) {
    for (int i = 0; i < count; ++i) {
      takesIt = takesIt || supported[i] == deleteWindow;
    }
    XFree(supported);
  }
  if (!takesIt) {
    return false;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(deleteWindow);
  event.xclient.data.l[1] = CurrentTime;
  bool sent = XSendEvent(display_, window, False, NoEventMask, &event) != 0;
  XFlush(display_);
  return sent;
}

void XProbe::focus(WindowId window) {
  XSetInputFocus(display_, window, RevertToParent, CurrentTime);
  XSync(display_, False);
}

WindowId XProbe::root() {
  return DefaultRootWindow(display_);
}

bool XProbe::grabPointer() {
  bool taken = XGrabPointer(display_, DefaultRootWindow(display_), False,
                            ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                            GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
  XSync(display_, False);
  return taken;
}

void XProbe::ungrabPointer() {
  XUngrabPointer(display_, CurrentTime);
  XSync(display_, False);
}

void XProbe::warpPointer(Point to) {
  XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, to.x, to.y);
  XSync(display_, False);
}

WindowId XProbe::openWindow() {
  Window w =
      XCreateSimpleWindow(display_, DefaultRootWindow(display_), 20, 20, 200, 100, 0, 0, 0xffffff);
  XStoreName(display_, w, "another program");
  XMapWindow(display_, w);
  XSync(display_, False);
  return w;
}

Box XProbe::frame(WindowId window) {
  // The ancestor that is a child of the root: the frame, or the window itself.
  Window w = window, root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  while (XQueryTree(display_, w, &root, &parent, &children, &count) != 0) {
    if (children != nullptr) {
      XFree(children);
    }
    if (parent == root || parent == 0) {
      break;
    }
    w = parent;
  }
  Point at = origin(w), extent = size(w);
  return {at.x, at.y, at.x + extent.x - 1, at.y + extent.y - 1};
}

bool XProbe::windowManaged() {
  Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  bool named =
      XGetWindowProperty(display_, DefaultRootWindow(display_), check, 0, 1, False, XA_WINDOW,
                         &type, &format, &count, &remaining, &data) == Success &&
      count == 1;
  if (data != nullptr) {
    XFree(data);
  }
  return named;
}

std::string Image::savePng(const std::string& path) const {
  TempFile ppm("vombrel-shot");
  if (ppm.path().empty()) {
    return "cannot create a temporary file";
  }
  std::FILE* f = std::fopen(ppm.path().c_str(), "wb");
  if (f == nullptr) {
    return "cannot write " + ppm.path();
  }
  std::fprintf(f, "P6\n%d %d\n255\n", width, height);
  for (const Rgb& p : pixels) {
    std::fputc(p.r, f);
    std::fputc(p.g, f);
    std::fputc(p.b, f);
  }
  std::fclose(f);
  ChildOptions options;
  options.args = {"convert", ppm.path(), "png:" + path};
  ChildProcess convert("/usr/bin/env", options);
  std::optional<int> status = convert.waitExit(std::chrono::seconds(30));
  if (status != 0) {
    return "convert failed to write " + path;
  }
  return {};
}

bool xdotool(const std::vector<std::string>& args) {
  ChildOptions options;
  options.args = {"xdotool"};
  options.args.insert(options.args.end(), args.begin(), args.end());
  ChildProcess run("/usr/bin/env", options);
  return run.started() && run.waitExit(std::chrono::seconds(10)) == 0;
}

ScaledXServer::ScaledXServer(int dpi, const std::string& xftDpi, Point screen,
                             const std::string& windowManager) {
  int fds[2];
  if (pipe(fds) != 0) {
    error_ = "cannot make a pipe for Xvfb";
    return;
  }
  TempFile log("vombrel-xvfb");
  // -noreset keeps the resources when the last client leaves, as a desktop's server does.
  ChildOptions options;
  options.args = {"Xvfb",
                  "-displayfd",
                  std::to_string(fds[1]),
                  "-dpi",
                  std::to_string(dpi),
                  "-screen",
                  "0",
                  std::to_string(screen.x) + "x" + std::to_string(screen.y) + "x24",
                  "-nolisten",
                  "tcp",
                  "-noreset"};
  options.outputFile = log.path();
  server_ = std::make_unique<ChildProcess>("/usr/bin/env", options);
  close(fds[1]);
  // Xvfb writes its display number there once it takes connections.
  std::string number = server_->started() ? readLine(fds[0], std::chrono::seconds(10)) : "";
  close(fds[0]);
  if (number.empty()) {
    error_ = "Xvfb did not start: " + server_->error() + readFile(log.path());
    return;
  }
  display_ = ":" + number.substr(0, number.size() - 1);

  // What xrdb or a desktop's settings daemon puts there, with a real tab and newline.
  ChildOptions xprop;
  xprop.args = {"xprop",
                "-root",
                "-f",
                "RESOURCE_MANAGER",
                "8s",
                "-set",
                "RESOURCE_MANAGER",
                "Xft.dpi:\t" + (xftDpi.empty() ? std::to_string(dpi) : xftDpi) + "\n"};
  xprop.env = {{"DISPLAY", display_}};
  ChildProcess set("/usr/bin/env", xprop);
  if (!set.started() || set.waitExit(std::chrono::seconds(10)) != 0) {
    error_ = "xprop cannot set Xft.dpi on display " + display_;
    return;
  }
  if (windowManager.empty()) {
    return;
  }
  ChildOptions wm;
  wm.args = {windowManager};
  wm.env = {{"DISPLAY", display_}};
  wm.outputFile = log.path();
  if (windowManager == "mutter") {
    // GNOME's window manager on X, compositing; it does without a session bus.
    wm.args.push_back("--x11");
    wm.env.push_back({"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"});
  } else if (windowManager == "fluxbox") {
    // Without its wallpaper, whose failure on a bare server shows a message window in the
    // screen's middle that would take the focus.
    settings_ = std::make_unique<TempFile>("vombrel-fluxbox");
    std::ofstream(settings_->path())
        << "background: none\nsession.styleOverlay: " << settings_->path() << "\n";
    wm.args.insert(wm.args.end(), {"-rc", settings_->path()});
  }
  windowManager_ = std::make_unique<ChildProcess>("/usr/bin/env", wm);
  // It runs once it names itself on the root window.
  std::optional<std::string> ours;
  if (const char* d = std::getenv("DISPLAY")) {
    ours = d;
  }
  setenv("DISPLAY", display_.c_str(), 1);
  XProbe x;
  ours ? setenv("DISPLAY", ours->c_str(), 1) : unsetenv("DISPLAY");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (x.connected() && !x.windowManaged() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!x.connected() || !x.windowManaged()) {
    error_ = windowManager + " did not start on display " + display_ + ": " +
             windowManager_->error() + readFile(log.path());
  }
}

ScaledXServer::~ScaledXServer() = default;

}  // namespace support
