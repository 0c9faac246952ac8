// Vombrel for Windows: a GUI program that takes no arguments, reads no files and writes nothing.
// It exits with 0 when the player leaves, or with 1 after a message box that says why the window
// could not open.
#include <windows.h>

#include "app/game_loop.h"
#include "platform/win32/win32_host.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  auto host = platform::createWin32Host();
  return vombrel::run(*host);
}
