// Vombrel: a mouse shooting game. The program takes no arguments, reads no files and writes
// nothing; it opens its window on the real display and exits with 0 when the player leaves,
// or prints why and exits with 1 when it cannot open a window.
#include "app/game_loop.h"
#include "platform/sdl/sdl_host.h"

int main() {
  auto host = platform::createSdlHost();
  return vombrel::run(*host);
}
