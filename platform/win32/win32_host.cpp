// The Win32 host: the window's messages, sent on to the view (win32_view.h: the window, its
// size, fullscreen, painting and cursor), the confinement (win32_confinement.h) and the game's
// loop (win32_message_loop.h: the thread's messages and the loop's turns); the clock, the random
// source and the message box. Drawing is in win32_painter.cpp and sound in win32_sound.cpp.
//
// The game sees a 304 x 213 scene and mouse positions in those logical pixels; the player sees it
// at a whole factor, in a window or fullscreen on black.
#include "platform/win32/win32_host.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/desktop/wide_text.h"
#include "platform/pointer.h"
#include "platform/win32/win32_confinement.h"
#include "platform/win32/win32_message_loop.h"
#include "platform/win32/win32_painter.h"
#include "platform/win32/win32_sound.h"
#include "platform/win32/win32_view.h"

namespace platform {

using desktop::widen;

namespace {

constexpr wchar_t kWindowClass[] = L"VombrelForm";
constexpr int kResourceIcon = 1;

int heldButtons(WPARAM keys) {
  return buttonBits(keys & MK_LBUTTON, keys & MK_RBUTTON, keys & MK_MBUTTON);
}

int heldModifierKeys(WPARAM keys) {
  return modifierBits(keys & MK_SHIFT, keys & MK_CONTROL, GetKeyState(VK_MENU) < 0);
}

class Win32Host final : public CallbackHost {
 public:
  Win32Host(Win32Options options, desktop::ViewChoices choices)
      : options_(options), choices_(std::move(choices)) {}
  ~Win32Host() override;

  void serve(Loop& loop) override { messages_.run(loop); }
  bool paused() const override { return messages_.paused(); }
  void wakeAt(std::optional<forms::Millis> deadline) override { messages_.wakeAt(deadline); }
  void announce(const std::string&) override {}  // a page's news for screen readers
  void ended() override { messages_.end(); }

  Status open(const WindowSetup& setup) override;
  void show() override;
  void render(const forms::Frame& frame) override;
  void playSound(std::span<const std::uint8_t> wav) override { sound_.play(wav); }
  void clipCursor(std::optional<ClipRect> rect) override { confinement_.want(rect); }
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
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  Status fail(const std::string& reason);
  void mouse(forms::MouseInput::Type type, int button, WPARAM keys, LPARAM at, bool second);

  Win32Options options_;
  desktop::ViewChoices choices_;  // until the view takes them
  SteadyClock clock_;
  forms::RandomSequence random_;
  mutable win32::Fonts fonts_;
  win32::SoundChannel sound_;  // before the window: its sound stops before the window goes
  win32::Confinement confinement_;
  win32::MessageLoop messages_{clock_};
  HINSTANCE instance_ = GetModuleHandleW(nullptr);
  HWND window_ = nullptr;
  std::unique_ptr<win32::WindowView> view_;
};

Win32Host::~Win32Host() {
  confinement_.want(std::nullopt);
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    UnregisterClassW(kWindowClass, instance_);
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
    return fail("cannot register the window class: " + desktop::lastSystemError());
  }
  window_ = CreateWindowExW(
      0, kWindowClass, widen(setup.title).c_str(), win32::WindowView::windowStyle(), CW_USEDEFAULT,
      CW_USEDEFAULT, setup.clientWidth, setup.clientHeight, nullptr, nullptr, instance_, this);
  if (window_ == nullptr) {
    std::string reason = desktop::lastSystemError();
    UnregisterClassW(kWindowClass, instance_);
    return fail("cannot create the window: " + reason);
  }
  confinement_.attach(window_);
  messages_.attach(window_);
  view_ = std::make_unique<win32::WindowView>(window_,
                                              desktop::Size{setup.clientWidth, setup.clientHeight},
                                              options_.dpi, std::move(choices_), fonts_);
  if (!view_->start()) {
    return fail("cannot make the window's picture: " + desktop::lastSystemError());
  }
  return {};
}

void Win32Host::show() {
  if (window_ == nullptr) {
    return;
  }
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
  confinement_.activated(GetActiveWindow() == window_);
}

void Win32Host::render(const forms::Frame& frame) {
  if (view_ != nullptr) {
    view_->render(frame);
  }
}

LRESULT CALLBACK Win32Host::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* host = reinterpret_cast<Win32Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (host == nullptr || host->window_ != window || host->view_ == nullptr) {
    return DefWindowProcW(window, message, w, l);
  }
  return host->handle(message, w, l);
}

void Win32Host::mouse(forms::MouseInput::Type type, int button, WPARAM keys, LPARAM at,
                      bool second) {
  desktop::ScenePoint p =
      view_->toScene(static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)));
  // The black border around a fullscreen scene is outside the form: nothing happens there,
  // unless a press in the scene goes on outside it.
  if (!p.inside && GetCapture() != window_) {
    return;
  }
  forms::MouseInput in{type, button, heldModifierKeys(keys), p.x, p.y, second};
  // A release outside the window still reaches the control that took the press.
  if (type == forms::MouseInput::Type::Down) {
    SetCapture(window_);
  } else if (type == forms::MouseInput::Type::Up && heldButtons(keys) == 0) {
    ReleaseCapture();
  }
  messages_.deliver(in);
}

LRESULT Win32Host::handle(UINT message, WPARAM w, LPARAM l) {
  using Type = forms::MouseInput::Type;
  switch (message) {
    case WM_MOUSEMOVE:
      confinement_.pointerOver();
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
    // The view's keys are the host's: the game never sees them.
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (view_->keyPressed(w, l)) {
        confinement_.follow(view_->gameArea());
        return 0;
      }
      break;
    case WM_SYSCHAR:
      if (w == VK_RETURN) {
        return 0;  // Alt+Enter is ours: no beep for a menu key that is not there
      }
      break;
    // The window has no menu bar: a lone Alt or F10 would only put the keyboard into a menu mode
    // that shows nothing. Alt+Space still opens the window menu.
    case WM_SYSCOMMAND:
      if ((w & 0xFFF0) == SC_KEYMENU && l == 0) {
        return 0;
      }
      break;
    case WM_CLOSE:
      messages_.deliver(CloseRequest{});
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      view_->paint();
      messages_.deliver(Exposed{});
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(l) == HTCLIENT && view_->setCursor()) {
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      const RECT* s = reinterpret_cast<const RECT*>(l);
      view_->dpiChanged({s->left, s->top, s->right - s->left, s->bottom - s->top});
      confinement_.follow(view_->gameArea());
      return 0;
    }
    // A player who switches to another program gets the mouse back, and the game takes it again
    // when the player comes back.
    case WM_ACTIVATE:
      confinement_.activated(LOWORD(w) != WA_INACTIVE);
      break;
    // The game goes on while the system holds the thread in a loop of its own.
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
      messages_.systemLoop(message == WM_ENTERSIZEMOVE);
      confinement_.carried(message == WM_ENTERSIZEMOVE);
      break;
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
      messages_.systemLoop(message == WM_ENTERMENULOOP);
      break;
    case WM_TIMER:
      if (w == win32::MessageLoop::kTurnTimer) {
        messages_.turnTimer();
        return 0;
      }
      if (w == win32::Confinement::kTimer) {
        confinement_.tick();
        return 0;
      }
      break;
    // Moved, shown, hidden or minimised: the rectangle goes with the window, or lets go.
    case WM_WINDOWPOSCHANGED:
      confinement_.apply();
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

// The box holds the thread in a loop of its own until the player closes it; the game waits.
void Win32Host::messageBox(const std::string& title, const std::string& text) {
  confinement_.boxShown(true);
  messages_.pause(true);
  MessageBoxW(window_, widen(text).c_str(), widen(title).c_str(), MB_OK | MB_ICONWARNING);
  messages_.pause(false);
  confinement_.boxShown(false);
}

forms::WindowRect Win32Host::windowRect() const {
  return view_ != nullptr ? view_->windowRect() : forms::WindowRect{};
}

forms::ScreenInfo Win32Host::screen() const {
  return view_ != nullptr ? view_->screen() : forms::ScreenInfo{};
}

}  // namespace

bool attachToConsole() {
  // Sent to a file or a pipe (vombrel.exe --help > help.txt): it goes there.
  DWORD type = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE));
  if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
    return true;
  }
  // The console of whoever started the program. Wine has given it that console already, and
  // refuses to attach it again; without any, CONOUT$ does not open.
  AttachConsole(ATTACH_PARENT_PROCESS);
  return std::freopen("CONOUT$", "w", stdout) != nullptr &&
         std::freopen("CONOUT$", "w", stderr) != nullptr;
}

void showProgramMessage(const std::string& text, bool isError) {
  MessageBoxW(nullptr, widen(text).c_str(), L"Vombrel",
              MB_OK | (isError ? MB_ICONERROR : MB_ICONINFORMATION));
}

std::optional<std::string> appDataFolder() {
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (appData == nullptr || *appData == L'\0') {
    return std::nullopt;
  }
  return desktop::narrow(appData);
}

std::unique_ptr<CallbackHost> createWin32Host(Win32Options options, desktop::ViewChoices choices) {
  return std::make_unique<Win32Host>(options, std::move(choices));
}

}  // namespace platform
