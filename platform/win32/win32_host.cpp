// The Win32 host: window, input, clock, cursor, confinement and message box. Drawing is in
// win32_painter.cpp and sound in win32_sound.cpp.
//
// The game sees a 304 x 213 scene and mouse positions in those logical pixels; the player sees it
// at a whole factor (platform/desktop/scale.h), in a window or fullscreen on black. The twips
// the host reports are counted at that factor, so that the confinement the game computes from
// them covers exactly the window, or the scene when fullscreen.
#include "platform/win32/win32_host.h"

#include <windows.h>

#include <mmsystem.h>
#undef PlaySound
#undef DrawText

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop/scale.h"
#include "platform/pointer.h"
#include "platform/win32/win32_painter.h"
#include "platform/win32/win32_sound.h"

namespace platform {

using win32::widen;

namespace {

constexpr wchar_t kWindowClass[] = L"VombrelForm";
constexpr int kStandardDpi = 96;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;  // a fixed frame: no sizing, no min or max
constexpr int kResourceIcon = 1, kResourceCursor = 1;
constexpr UINT_PTR kTurnTimer = 1;  // hands the thread to the game's loop from the system's loops
// Wine under a window manager says the window is active before the X server has given it the
// keyboard focus, and lays no rectangle for a window without it: once active, the window lays
// its rectangle again every tick for a moment.
constexpr UINT_PTR kConfineTimer = 2;
constexpr UINT kConfineTick = 100;
constexpr int kConfineTicks = 10;

std::string narrow(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(std::max(n, 1)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(std::max(n, 1)) - 1);  // without the terminating zero
  return utf8;
}

std::string lastError() {
  DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = "error " + std::to_string(code);
  if (text != nullptr) {
    std::string utf8 = narrow(text);
    utf8.resize(utf8.find_last_not_of("\r\n.") + 1);
    reason = utf8 + " (" + reason + ")";
    LocalFree(text);
  }
  return reason;
}

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

int heldButtons(WPARAM keys) {
  return buttonBits(keys & MK_LBUTTON, keys & MK_RBUTTON, keys & MK_MBUTTON);
}

int heldModifierKeys(WPARAM keys) {
  return modifierBits(keys & MK_SHIFT, keys & MK_CONTROL, GetKeyState(VK_MENU) < 0);
}

class Win32Host final : public BlockingHost {
 public:
  Win32Host(Win32Options options, desktop::ViewChoices choices)
      : options_(options), choices_(std::move(choices)) {}
  ~Win32Host() override;

  Status open(const WindowSetup& setup) override;
  void show() override;
  HostEvent wait(std::optional<forms::Millis> deadline) override;
  void render(const forms::Frame& frame) override;
  void playSound(std::span<const std::uint8_t> wav) override { sound_.play(wav); }
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
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  static void CALLBACK pumpMessages(void* host);
  void handToGame(HostEvent event);
  HostEvent nextEvent();
  std::optional<HostEvent> due();
  void queue(HostEvent event);
  void systemLoop(bool entered);
  void armTurnTimer();
  void turnInsideSystemLoop();
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  Status fail(const std::string& reason);
  desktop::FactorLimits limits() const;
  void applyView(desktop::Choice choice);
  void placeWindow(const RECT& was);
  void loadCursor();
  RECT gameArea() const;
  void mouse(forms::MouseInput::Type type, int button, WPARAM keys, LPARAM at, bool second);
  void copyToWindow(HDC target, const RECT& area);
  void applyConfinement();
  bool setCursorFor(POINT client);
  bool viewKeyPressed(WPARAM key, LPARAM flags);
  double twipsPerPixel() const { return static_cast<double>(forms::kTwipsPerPixel) / view_.factor; }

  Win32Options options_;
  desktop::ViewChoices choices_;
  Clock clock_;
  forms::RandomSequence random_;
  mutable win32::Fonts fonts_;
  win32::SoundChannel sound_;  // before the window: its sound stops before the window goes
  HINSTANCE instance_ = GetModuleHandleW(nullptr);
  HWND window_ = nullptr;
  std::unique_ptr<win32::Painter> painter_;
  HCURSOR gunSight_ = nullptr;
  HCURSOR arrow_ = LoadCursorW(nullptr, IDC_ARROW);
  std::vector<forms::PixelRect> arrowAreas_;
  std::deque<HostEvent> events_;
  // The window's messages are taken on a fiber of their own, so that when the system keeps the
  // thread in a loop of its own (the title bar dragged, the window menu open), the game's loop
  // still gets a turn from inside it: the clock runs and the scene paints on.
  void* gameFiber_ = nullptr;
  void* pumpFiber_ = nullptr;
  bool pumping_ = false;                   // the pump's fiber has the thread
  std::optional<forms::Millis> deadline_;  // of the wait the game's loop is in
  HostEvent answer_;                       // what the pump hands back to the game's loop
  int systemLoops_ = 0;                    // how deep the system's own loops are
  desktop::Size scene_;
  desktop::View view_;
  bool fullscreen_ = false;
  RECT windowed_{};  // the window as it stood before it went fullscreen

  // What the game asked for, kept relative to the window's top-left corner so that the
  // rectangle goes wherever the window goes.
  std::optional<ClipRect> clip_;
  bool clipped_ = false;  // whether ClipCursor holds our rectangle
  bool active_ = false;
  int confineTicksLeft_ = 0;  // of kConfineTimer
  bool moving_ = false;       // the player drags the window by its title bar
  bool boxShown_ = false;
  bool fineTimer_ = false;
};

Win32Host::~Win32Host() {
  clip_.reset();
  applyConfinement();
  if (pumpFiber_ != nullptr) {
    DeleteFiber(pumpFiber_);
  }
  if (gameFiber_ != nullptr) {
    ConvertFiberToThread();
  }
  if (fineTimer_) {
    timeEndPeriod(1);
  }
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    UnregisterClassW(kWindowClass, instance_);
  }
  if (gunSight_ != nullptr) {
    DestroyCursor(gunSight_);
  }
}

Status Win32Host::fail(const std::string& reason) {
  MessageBoxW(nullptr, widen("Vombrel cannot start: " + reason + ".").c_str(), L"Vombrel",
              MB_OK | MB_ICONERROR);
  return {reason};
}

Status Win32Host::open(const WindowSetup& setup) {
  if (window_ != nullptr) {
    return {"the window is already open"};
  }
  if (setup.clientWidth <= 0 || setup.clientHeight <= 0) {
    return fail("a window needs a size");
  }
  scene_ = {setup.clientWidth, setup.clientHeight};

  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.style = CS_DBLCLKS;
  cls.lpfnWndProc = procedure;
  cls.hInstance = instance_;
  cls.hIcon =
      static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kResourceIcon), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  cls.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kResourceIcon),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), 0));
  cls.hCursor = nullptr;  // WM_SETCURSOR chooses between the gun sight and the arrow
  cls.lpszClassName = kWindowClass;
  if (RegisterClassExW(&cls) == 0) {
    return fail("cannot register the window class: " + lastError());
  }
  window_ = CreateWindowExW(0, kWindowClass, widen(setup.title).c_str(), kStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, setup.clientWidth, setup.clientHeight, nullptr, nullptr,
                            instance_, this);
  if (window_ == nullptr) {
    std::string reason = lastError();
    UnregisterClassW(kWindowClass, instance_);
    return fail("cannot create the window: " + reason);
  }
  applyView(choices_.start(limits()));
  if (painter_ == nullptr || !painter_->ok()) {
    return fail("cannot make the window's picture: " + lastError());
  }
  return {};
}

// The usual factor for the screen the window is on, never below the desktop's own (2 at
// 192 dpi), and the largest whose window, frame and caption included, fits its work area.
desktop::FactorLimits Win32Host::limits() const {
  int dpi = options_.dpi > 0 ? options_.dpi : systemDpi(window_);
  RECT frame{};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  desktop::Size room = desktop::clientRoom(sizeOf(monitorOf(window_).rcWork),
                                           {-frame.left, -frame.top, frame.right, frame.bottom});
  return {desktop::defaultFactor(scene_, room, dpi / kStandardDpi),
          desktop::fittingFactor(scene_, room)};
}

// Shows the scene as the player chose: a window of the scene at its factor, or a popup over the
// whole monitor with the scene centred on black. The back buffer, the gun sight and the game's
// confinement are made anew for the new size, and the whole scene is painted again.
void Win32Host::applyView(desktop::Choice choice) {
  LONG_PTR visible = IsWindowVisible(window_) ? WS_VISIBLE : 0;
  RECT was{};
  GetWindowRect(window_, &was);
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
    painter_ = std::make_unique<win32::Painter>(scene_.width, scene_.height, view_.factor, fonts_);
    loadCursor();
  }
  if (clip_) {
    RECT frame{}, area = gameArea();
    GetWindowRect(window_, &frame);
    clip_ = ClipRect{area.left - frame.left, area.top - frame.top, area.right - frame.left,
                     area.bottom - frame.top};
  }
  applyConfinement();
  InvalidateRect(window_, nullptr, FALSE);
}

// Frames the scene at the view's factor: the window of that size goes where `was` stood, centre
// for centre, moved only as far as its screen's work area needs. Back from fullscreen it is the
// window as it was before.
void Win32Host::placeWindow(const RECT& was) {
  RECT wanted{0, 0, view_.client.width, view_.client.height};
  AdjustWindowRectEx(&wanted, kStyle, FALSE, 0);
  desktop::Rect work = rectOf(monitorOf(window_).rcWork);
  desktop::Rect at = desktop::keepCentre(rectOf(was), sizeOf(wanted), work);
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
void Win32Host::loadCursor() {
  if (gunSight_ != nullptr) {
    DestroyCursor(gunSight_);
  }
  int size = 32 * view_.factor;
  gunSight_ = static_cast<HCURSOR>(
      LoadImageW(instance_, MAKEINTRESOURCEW(kResourceCursor), IMAGE_CURSOR, size, size, 0));
}

// What the game takes for its window, on the screen: the window with its frame, or when
// fullscreen the scene alone, so that the game confines the cursor to the scene and no further.
RECT Win32Host::gameArea() const {
  RECT r{};
  GetWindowRect(window_, &r);
  if (fullscreen_) {
    const desktop::Rect& s = view_.scene;
    r = {r.left + s.x, r.top + s.y, r.left + s.x + s.width, r.top + s.y + s.height};
  }
  return r;
}

void Win32Host::show() {
  if (window_ == nullptr) {
    return;
  }
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
  active_ = GetActiveWindow() == window_;
}

HostEvent Win32Host::wait(std::optional<forms::Millis> deadline) {
  if (window_ == nullptr) {
    // Without a window no input can ever come; ending is the only way on.
    return CloseRequest{};
  }
  deadline_ = deadline;
  if (pumpFiber_ == nullptr) {
    gameFiber_ = ConvertThreadToFiber(nullptr);
    pumpFiber_ = gameFiber_ != nullptr ? CreateFiber(0, pumpMessages, this) : nullptr;
  }
  if (pumpFiber_ == nullptr) {
    return nextEvent();  // no fibers: the system's loops stop the game, but it runs
  }
  pumping_ = true;
  SwitchToFiber(pumpFiber_);
  return answer_;
}

void CALLBACK Win32Host::pumpMessages(void* host) {
  auto* self = static_cast<Win32Host*>(host);
  for (;;) {
    self->handToGame(self->nextEvent());
  }
}

void Win32Host::handToGame(HostEvent event) {
  answer_ = event;
  pumping_ = false;
  SwitchToFiber(gameFiber_);
  pumping_ = true;
}

// Takes the window's messages until one of them is an event for the game or the deadline passes.
HostEvent Win32Host::nextEvent() {
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        return CloseRequest{};
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (std::optional<HostEvent> event = due()) {
      return *event;
    }
    DWORD timeout = INFINITE;
    if (deadline_) {
      timeout = static_cast<DWORD>(std::min<forms::Millis>(*deadline_ - now(), 1 << 30));
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

std::optional<HostEvent> Win32Host::due() {
  if (!events_.empty()) {
    HostEvent event = events_.front();
    events_.pop_front();
    return event;
  }
  if (deadline_ && *deadline_ - now() <= 0) {
    return Timeout{};
  }
  return std::nullopt;
}

void Win32Host::queue(HostEvent event) {
  events_.push_back(event);
  armTurnTimer();
}

void Win32Host::systemLoop(bool entered) {
  systemLoops_ = std::max(0, systemLoops_ + (entered ? 1 : -1));
  armTurnTimer();
}

// Inside the system's loops, the next turn comes when the game's next timer is due, or at once
// when an event waits.
void Win32Host::armTurnTimer() {
  if (systemLoops_ == 0 || (events_.empty() && !deadline_)) {
    KillTimer(window_, kTurnTimer);
    return;
  }
  forms::Millis left = events_.empty() ? *deadline_ - now() : 0;
  SetTimer(window_, kTurnTimer,
           static_cast<UINT>(std::clamp<forms::Millis>(left, USER_TIMER_MINIMUM, 1 << 30)),
           nullptr);
}

// The game's loop takes its turns as if the wait had ended, then hands the thread back to the
// system's loop. Under a message box of the game's own the game is waiting for the player, and
// gets no turn.
void Win32Host::turnInsideSystemLoop() {
  if (!pumping_) {
    KillTimer(window_, kTurnTimer);
    return;
  }
  while (std::optional<HostEvent> event = due()) {
    handToGame(*event);
  }
  armTurnTimer();
}

LRESULT CALLBACK Win32Host::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* host = reinterpret_cast<Win32Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (host == nullptr || host->window_ != window) {
    return DefWindowProcW(window, message, w, l);
  }
  return host->handle(message, w, l);
}

void Win32Host::mouse(forms::MouseInput::Type type, int button, WPARAM keys, LPARAM at,
                      bool second) {
  desktop::ScenePoint p =
      view_.toScene(static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)));
  // The black border around a fullscreen scene is outside the form: nothing happens there,
  // unless a press in the scene goes on outside it.
  if (!p.inside && GetCapture() != window_) {
    return;
  }
  forms::MouseInput in;
  in.type = type;
  in.button = button;
  in.shift = heldModifierKeys(keys);
  in.x = p.x;
  in.y = p.y;
  in.doubleClick = second;
  // A release outside the window still reaches the control that took the press.
  if (type == forms::MouseInput::Type::Down) {
    SetCapture(window_);
  } else if (type == forms::MouseInput::Type::Up && heldButtons(keys) == 0) {
    ReleaseCapture();
  }
  queue(in);
}

LRESULT Win32Host::handle(UINT message, WPARAM w, LPARAM l) {
  using Type = forms::MouseInput::Type;
  switch (message) {
    case WM_MOUSEMOVE:
      mouse(Type::Move, heldButtons(w), w, l, false);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      mouse(Type::Down, kLeftButton, w, l, message == WM_LBUTTONDBLCLK);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      mouse(Type::Down, kRightButton, w, l, message == WM_RBUTTONDBLCLK);
      return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      mouse(Type::Down, kMiddleButton, w, l, message == WM_MBUTTONDBLCLK);
      return 0;
    case WM_LBUTTONUP:
      mouse(Type::Up, kLeftButton, w, l, false);
      return 0;
    case WM_RBUTTONUP:
      mouse(Type::Up, kRightButton, w, l, false);
      return 0;
    case WM_MBUTTONUP:
      mouse(Type::Up, kMiddleButton, w, l, false);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (viewKeyPressed(w, l)) {
        return 0;
      }
      break;
    case WM_SYSCHAR:
      if (w == VK_RETURN) {
        return 0;  // Alt+Enter is ours: no beep for a menu key that is not there
      }
      break;
    case WM_CLOSE:
      queue(CloseRequest{});
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC target = BeginPaint(window_, &paint);
      const desktop::Rect& s = view_.scene;
      ExcludeClipRect(target, s.x, s.y, s.x + s.width, s.y + s.height);
      FillRect(target, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      SelectClipRgn(target, nullptr);
      copyToWindow(target, paint.rcPaint);
      EndPaint(window_, &paint);
      queue(Exposed{});
      return 0;
    }
    // A player who switches to another program gets the mouse back, and the game takes it again
    // when the player comes back.
    case WM_ACTIVATE:
      active_ = LOWORD(w) != WA_INACTIVE;
      confineTicksLeft_ = active_ ? kConfineTicks : 0;
      if (active_) {
        SetTimer(window_, kConfineTimer, kConfineTick, nullptr);
      }
      applyConfinement();
      break;
    // The cursor must be free to carry the window by its title bar, and minimised or hidden the
    // window has no place to keep it in; moved, shown or restored, it takes it again.
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
      moving_ = message == WM_ENTERSIZEMOVE;
      systemLoop(moving_);
      applyConfinement();
      break;
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
      systemLoop(message == WM_ENTERMENULOOP);
      break;
    case WM_TIMER:
      if (w == kTurnTimer) {
        turnInsideSystemLoop();
        return 0;
      }
      if (w == kConfineTimer) {
        if (--confineTicksLeft_ <= 0) {
          KillTimer(window_, kConfineTimer);
        }
        applyConfinement();
        return 0;
      }
      break;
    // The window has no menu bar: a lone Alt or F10 would only put the keyboard into a menu mode
    // that shows nothing. Alt+Space still opens the window menu.
    case WM_SYSCOMMAND:
      if ((w & 0xFFF0) == SC_KEYMENU && l == 0) {
        return 0;
      }
      break;
    case WM_WINDOWPOSCHANGED:
      applyConfinement();
      break;
    case WM_SETCURSOR:
      if (LOWORD(l) == HTCLIENT) {
        POINT at{};
        GetCursorPos(&at);
        ScreenToClient(window_, &at);
        if (setCursorFor(at)) {
          return TRUE;
        }
      }
      break;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(l);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      applyView(choices_.current());
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

// The view's keys are the host's: the game never sees them. A key held down changes the view
// once, not at the keyboard's repeat rate.
bool Win32Host::viewKeyPressed(WPARAM key, LPARAM flags) {
  bool ctrl = GetKeyState(VK_CONTROL) < 0, alt = (HIWORD(flags) & KF_ALTDOWN) != 0;
  desktop::ViewKey which = viewKey(key);
  if (!desktop::ViewChoices::isViewKey(which, ctrl, alt)) {
    return false;
  }
  if ((HIWORD(flags) & KF_REPEAT) == 0) {
    if (auto changed = choices_.press(which, ctrl, alt, limits())) {
      applyView(*changed);
    }
  }
  return true;
}

// The gun sight everywhere on the scene but over the picture boxes and on the black border
// around a fullscreen scene, where the arrow shows.
bool Win32Host::setCursorFor(POINT client) {
  if (gunSight_ == nullptr) {
    return false;
  }
  desktop::ScenePoint p = view_.toScene(client.x, client.y);
  bool arrow = !p.inside || showsArrow(arrowAreas_, static_cast<int>(p.x), static_cast<int>(p.y));
  SetCursor(arrow ? arrow_ : gunSight_);
  return true;
}

// The back buffer is the scene at its factor already: a plain copy into the scene's place.
void Win32Host::copyToWindow(HDC target, const RECT& area) {
  const desktop::Rect& s = view_.scene;
  RECT scene{s.x, s.y, s.x + s.width, s.y + s.height}, both{};
  if (painter_ == nullptr || !IntersectRect(&both, &area, &scene)) {
    return;
  }
  BitBlt(target, both.left, both.top, both.right - both.left, both.bottom - both.top,
         painter_->dc(), both.left - s.x, both.top - s.y, SRCCOPY);
}

void Win32Host::render(const forms::Frame& frame) {
  if (painter_ == nullptr || frame.damage.empty()) {
    return;
  }
  arrowAreas_ = frame.arrowCursorAreas;
  painter_->paint(frame);
  desktop::Rect d =
      view_.toClient({frame.damage.x, frame.damage.y, frame.damage.w, frame.damage.h});
  RECT area{d.x, d.y, d.x + d.width, d.y + d.height};
  HDC target = GetDC(window_);
  copyToWindow(target, area);
  ReleaseDC(window_, target);
  // The scene may have moved under a pointer that stands still.
  POINT at{};
  if (GetCursorPos(&at) && WindowFromPoint(at) == window_) {
    ScreenToClient(window_, &at);
    RECT client{};
    GetClientRect(window_, &client);
    if (PtInRect(&client, at)) {
      setCursorFor(at);
    }
  }
}

// The game confines the cursor exactly while a game runs: that is also when the target's 55 ms
// steps need the fine timer, which would otherwise cost power for nothing.
void Win32Host::clipCursor(std::optional<ClipRect> rect) {
  clip_ = rect;
  RECT frame{};
  if (clip_ && window_ != nullptr && GetWindowRect(window_, &frame)) {
    *clip_ = {clip_->left - frame.left, clip_->top - frame.top, clip_->right - frame.left,
              clip_->bottom - frame.top};
  }
  if (clip_.has_value() != fineTimer_) {
    fineTimer_ = clip_.has_value();
    if (fineTimer_) {
      timeBeginPeriod(1);
    } else {
      timeEndPeriod(1);
    }
  }
  applyConfinement();
}

// The rectangle holds while the window is active, shown and standing still, and no message box
// is up; otherwise the cursor is free, released with ClipCursor(NULL) and never trapped on the
// primary screen. It is laid over the window where the window is now: a rectangle left where the
// window used to be would trap the cursor in an empty patch of desktop.
void Win32Host::applyConfinement() {
  RECT frame{};
  if (clip_ && active_ && !boxShown_ && !moving_ && window_ != nullptr &&
      IsWindowVisible(window_) && !IsIconic(window_) && GetWindowRect(window_, &frame)) {
    RECT r{frame.left + clip_->left, frame.top + clip_->top, frame.left + clip_->right,
           frame.top + clip_->bottom};
    ClipCursor(&r);
    clipped_ = true;
  } else if (clipped_) {
    ClipCursor(nullptr);
    clipped_ = false;
  }
}

void Win32Host::messageBox(const std::string& title, const std::string& text) {
  boxShown_ = true;
  applyConfinement();
  MessageBoxW(window_, widen(text).c_str(), widen(title).c_str(), MB_OK | MB_ICONWARNING);
  boxShown_ = false;
  applyConfinement();
}

forms::WindowRect Win32Host::windowRect() const {
  if (window_ == nullptr) {
    return {};
  }
  RECT r = gameArea();
  double t = twipsPerPixel();
  return {r.left * t, r.top * t, (r.right - r.left) * t, (r.bottom - r.top) * t};
}

forms::ScreenInfo Win32Host::screen() const {
  const RECT& m = monitorOf(window_).rcMonitor;
  double t = twipsPerPixel();
  return {(m.right - m.left) * t, (m.bottom - m.top) * t, t, t};
}

}  // namespace

void showProgramMessage(const std::string& text, bool isError) {
  MessageBoxW(nullptr, widen(text).c_str(), L"Vombrel",
              MB_OK | (isError ? MB_ICONERROR : MB_ICONINFORMATION));
}

std::optional<std::string> appDataFolder() {
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (appData == nullptr || *appData == L'\0') {
    return std::nullopt;
  }
  return narrow(appData);
}

std::unique_ptr<BlockingHost> createWin32Host(Win32Options options, desktop::ViewChoices choices) {
  return std::make_unique<Win32Host>(options, std::move(choices));
}

}  // namespace platform
