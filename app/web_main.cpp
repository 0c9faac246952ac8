// Vombrel in a web page: the program the page loads. It hands the game to the browser host and
// returns; from then on the page's events and timeouts run the game (platform/web/web_host.h).
#include <memory>

#include "app/form1.h"
#include "assets/resources.h"
#include "platform/web/web_host.h"

int main() {
  static platform::web::WebHost host;
  host.play([](platform::GameServices& services) { return std::make_unique<Form1>(services); },
            {assets::picture(assets::Pic::Icon), assets::picture(assets::Pic::GunSight)});
  return 0;
}
