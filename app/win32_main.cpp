// Vombrel for Windows: a GUI program, so what it has to say comes in message boxes. It takes the
// options of the desktop program (platform/desktop/command_line.h): --help and --version show
// their text and exit with 0; a wrong option shows what was wrong and the usage and exits with 2
// before any window opens. It remembers the window's size and fullscreen in
// %APPDATA%\Vombrel\settings.ini. It exits with 0 when the player leaves, or with 1 after a
// message box that says why the window could not open.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/game_loop.h"
#include "platform/desktop/command_line.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_painter.h"

namespace desktop = platform::desktop;

namespace {

void say(const std::string& text, UINT icon) {
  MessageBoxW(nullptr, platform::win32::widen(text).c_str(), L"Vombrel", MB_OK | icon);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  desktop::CommandLine cl = desktop::parseCommandLine({__argv + 1, __argv + __argc});
  switch (cl.action) {
    case desktop::CommandLine::Action::Help:
      say(desktop::usage(), MB_ICONINFORMATION);
      return 0;
    case desktop::CommandLine::Action::Version:
      say(desktop::versionText(), MB_ICONINFORMATION);
      return 0;
    case desktop::CommandLine::Action::Wrong:
      say(cl.error + "\n\n" + desktop::usage(), MB_ICONERROR);
      return 2;
    case desktop::CommandLine::Action::Play:
      break;
  }
  std::optional<std::filesystem::path> settings;
  if (const wchar_t* appData = _wgetenv(L"APPDATA"); appData != nullptr && *appData != L'\0') {
    settings = desktop::appDataSettingsFile(appData);
  }
  // Whoever started the program from a console sees why the settings were not taken.
  desktop::ViewChoices choices(cl.choice, settings, [](const std::string& warning) {
    std::fprintf(stderr, "vombrel: %s\n", warning.c_str());
  });
  auto host = platform::createWin32Host({}, std::move(choices));
  return vombrel::run(*host);
}
