// The Win32 host's window as the player sees it: see win32_view.h.
#include "platform/win32/win32_view.h"

#include <windows.h>

#include <algorithm>

#include "platform/pointer.h"

namespace platform::win32 {
namespace {

constexpr int kStandardDpi = 96;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
constexpr int kResourceCursor = 1;

// Windows 10 knows each window's dpi; Windows 7 knows only the system's. Looked up at run time,
// so that the program still starts on Windows 7.
int systemDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static auto forWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (forWindow != nullptr && window != nullptr) {
    if (UINT dpi = forWindow(window); dpi != 0) {
      return static_cast<int>(dpi);
    }
  }
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kStandardDpi;
}

MONITORINFO monitorOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
  return info;
}

desktop::Size sizeOf(const RECT& r) {
  return {r.right - r.left, r.bottom - r.top};
}

desktop::Rect rectOf(const RECT& r) {
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

RECT windowRectOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

// The keys of the view: plus is also "=", its key without Shift on a US keyboard.
desktop::ViewKey viewKey(WPARAM key) {
  switch (key) {
    case VK_F11:
      return desktop::ViewKey::F11;
    case VK_RETURN:
      return desktop::ViewKey::Enter;
    case VK_OEM_PLUS:
    case VK_ADD:
      return desktop::ViewKey::Plus;
    case VK_OEM_MINUS:
    case VK_SUBTRACT:
      return desktop::ViewKey::Minus;
    case '0':
    case VK_NUMPAD0:
      return desktop::ViewKey::Zero;
    default:
      return desktop::ViewKey::Other;
  }
}

// The back buffer is the scene at its factor already: a plain copy into the scene's place.
void copyToWindow(HDC target, const RECT& area, const desktop::Rect& s, const Painter* painter) {
  RECT scene{s.x, s.y, s.x + s.width, s.y + s.height}, both{};
  if (painter == nullptr || !IntersectRect(&both, &area, &scene)) {
    return;
  }
  BitBlt(target, both.left, both.top, both.right - both.left, both.bottom - both.top, painter->dc(),
         both.left - s.x, both.top - s.y, SRCCOPY);
}

}  // namespace

unsigned long WindowView::windowStyle() {
  return kStyle;
}

WindowView::WindowView(HWND window, desktop::Size scene, int dpi, desktop::ViewChoices choices,
                       Fonts& fonts)
    : window_(window),
      scene_(scene),
      dpi_(dpi),
      choices_(std::move(choices)),
      fonts_(fonts),
      arrow_(LoadCursorW(nullptr, IDC_ARROW)) {}

WindowView::~WindowView() {
  if (gunSight_ != nullptr) {
    DestroyCursor(gunSight_);
  }
}

bool WindowView::start() {
  apply(choices_.start(limits()));
  return painter_ != nullptr && painter_->ok();
}

// The usual factor for the screen the window is on, never below the desktop's own (2 at
// 192 dpi), and the largest whose window, frame and caption included, fits its work area.
desktop::FactorLimits WindowView::limits() const {
  RECT frame{};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  return desktop::factorLimits(scene_, sizeOf(monitorOf(window_).rcWork),
                               {-frame.left, -frame.top, frame.right, frame.bottom},
                               dpi_ > 0 ? dpi_ : systemDpi(window_));
}

// The back buffer and the gun sight are made anew for the new size, and the whole scene is
// painted again.
void WindowView::apply(desktop::Choice choice) {
  LONG_PTR visible = IsWindowVisible(window_) ? WS_VISIBLE : 0;
  desktop::Rect was = rectOf(windowRectOf(window_));
  if (choice.fullscreen) {
    if (!fullscreen_) {
      windowed_ = was;
    }
    fullscreen_ = true;
    RECT monitor = monitorOf(window_).rcMonitor;
    view_ = desktop::fullscreenView(scene_, sizeOf(monitor));
    SetWindowLongPtrW(window_, GWL_STYLE, WS_POPUP | visible);
    SetWindowPos(window_, HWND_TOP, monitor.left, monitor.top, monitor.right - monitor.left,
                 monitor.bottom - monitor.top, SWP_FRAMECHANGED | SWP_NOACTIVATE);
  } else {
    bool leaving = fullscreen_;
    fullscreen_ = false;
    view_ = desktop::windowView(scene_, choice.factor);
    if (leaving) {
      SetWindowLongPtrW(window_, GWL_STYLE, kStyle | visible);
    }
    placeWindow(leaving ? windowed_ : was);
  }
  if (painter_ == nullptr || painter_->factor() != view_.factor) {
    painter_ = std::make_unique<Painter>(scene_.width, scene_.height, view_.factor, fonts_);
    loadCursor();
  }
  InvalidateRect(window_, nullptr, FALSE);
}

// Frames the scene at the view's factor: the window of that size goes where `was` stood, centre
// for centre, moved only as far as its screen's work area needs. Back from fullscreen it is the
// window as it was before.
void WindowView::placeWindow(const desktop::Rect& was) {
  RECT wanted{0, 0, view_.client.width, view_.client.height};
  AdjustWindowRectEx(&wanted, kStyle, FALSE, 0);
  desktop::Rect work = rectOf(monitorOf(window_).rcWork);
  desktop::Rect at = desktop::keepCentre(was, sizeOf(wanted), work);
  SetWindowPos(window_, nullptr, at.x, at.y, at.width, at.height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  // The frame the system really draws may differ from what it predicted (another dpi, another
  // theme): what counts is the client area.
  RECT client{};
  GetClientRect(window_, &client);
  desktop::Size off{view_.client.width - client.right, view_.client.height - client.bottom};
  if (off.width != 0 || off.height != 0) {
    at = desktop::keepCentre(at, {at.width + off.width, at.height + off.height}, work);
    SetWindowPos(window_, nullptr, at.x, at.y, at.width, at.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The CURSOR resource at the scene's factor, so that the sight still frames what it hits.
void WindowView::loadCursor() {
  if (gunSight_ != nullptr) {
    DestroyCursor(gunSight_);
  }
  int size = 32 * view_.factor;
  gunSight_ = static_cast<HCURSOR>(LoadImageW(
      GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kResourceCursor), IMAGE_CURSOR, size, size, 0));
}

bool WindowView::keyPressed(std::uintptr_t key, std::intptr_t flags) {
  bool ctrl = GetKeyState(VK_CONTROL) < 0, alt = (HIWORD(flags) & KF_ALTDOWN) != 0;
  desktop::ViewKey which = viewKey(key);
  if (!desktop::ViewChoices::isViewKey(which, ctrl, alt)) {
    return false;
  }
  if ((HIWORD(flags) & KF_REPEAT) == 0) {
    if (auto changed = choices_.press(which, ctrl, alt, limits())) {
      apply(*changed);
    }
  }
  return true;
}

void WindowView::dpiChanged(const desktop::Rect& suggested) {
  SetWindowPos(window_, nullptr, suggested.x, suggested.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  apply(choices_.current());
}

void WindowView::paint() {
  PAINTSTRUCT paint;
  HDC target = BeginPaint(window_, &paint);
  const desktop::Rect& s = view_.scene;
  ExcludeClipRect(target, s.x, s.y, s.x + s.width, s.y + s.height);
  FillRect(target, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SelectClipRgn(target, nullptr);
  copyToWindow(target, paint.rcPaint, s, painter_.get());
  EndPaint(window_, &paint);
}

void WindowView::render(const forms::Frame& frame) {
  if (painter_ == nullptr || frame.damage.empty()) {
    return;
  }
  arrowAreas_ = frame.arrowCursorAreas;
  painter_->paint(frame);
  desktop::Rect d =
      view_.toClient({frame.damage.x, frame.damage.y, frame.damage.w, frame.damage.h});
  HDC target = GetDC(window_);
  copyToWindow(target, {d.x, d.y, d.x + d.width, d.y + d.height}, view_.scene, painter_.get());
  ReleaseDC(window_, target);
  // The scene may have moved under a pointer that stands still.
  POINT at{};
  if (GetCursorPos(&at) && WindowFromPoint(at) == window_) {
    ScreenToClient(window_, &at);
    RECT client{};
    GetClientRect(window_, &client);
    if (PtInRect(&client, at)) {
      setCursorAt(at.x, at.y);
    }
  }
}

bool WindowView::setCursor() {
  POINT at{};
  GetCursorPos(&at);
  ScreenToClient(window_, &at);
  return setCursorAt(at.x, at.y);
}

bool WindowView::setCursorAt(int clientX, int clientY) {
  if (gunSight_ == nullptr) {
    return false;
  }
  desktop::ScenePoint p = view_.toScene(clientX, clientY);
  bool arrow = !p.inside || showsArrow(arrowAreas_, static_cast<int>(p.x), static_cast<int>(p.y));
  SetCursor(arrow ? arrow_ : gunSight_);
  return true;
}

ClipRect WindowView::gameArea() const {
  RECT r = windowRectOf(window_);
  if (fullscreen_) {
    const desktop::Rect& s = view_.scene;
    r = {r.left + s.x, r.top + s.y, r.left + s.x + s.width, r.top + s.y + s.height};
  }
  return {r.left, r.top, r.right, r.bottom};
}

forms::WindowRect WindowView::windowRect() const {
  ClipRect r = gameArea();
  return view_.windowTwips({r.left, r.top, r.right - r.left, r.bottom - r.top});
}

forms::ScreenInfo WindowView::screen() const {
  return view_.screenTwips(sizeOf(monitorOf(window_).rcMonitor));
}

}  // namespace platform::win32
