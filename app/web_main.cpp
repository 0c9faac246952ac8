// Vombrel in a web page: the program the page loads. It hands the game's loop to the browser
// host and returns; from then on the page's events and timeouts run the game (app/game_loop.h,
// platform/web/web_host.h).
#include "app/game_loop.h"
#include "platform/web/web_host.h"

int main() {
  static platform::web::WebHost host;
  return vombrel::serve(host);
}
