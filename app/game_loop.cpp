// The one loop of the program. It sleeps in the host until input arrives or the next timer is
// due, so a window where nothing moves costs nothing; it repaints only when something changed.
#include "app/game_loop.h"

#include <cstdio>
#include <type_traits>
#include <variant>

#include "app/form1.h"
#include "assets/resources.h"

namespace vombrel {

int run(platform::Host& host, const AfterTimers& afterTimers) {
  platform::WindowSetup setup;
  setup.title = "Vombrel !!!!";
  setup.icon = assets::picture(assets::Pic::Icon);
  setup.cursor = assets::picture(assets::Pic::GunSight);
  if (platform::Status opened = host.open(setup); !opened.ok()) {
    std::fprintf(stderr, "vombrel: %s\n", opened.error.c_str());
    return 1;
  }

  Form1 form(host);
  form.Load();
  host.show();
  host.render(form.paint());

  while (!form.ended()) {
    platform::HostEvent event = host.wait(form.nextTimerDue());
    std::visit(
        [&form](const auto& e) {
          using E = std::decay_t<decltype(e)>;
          if constexpr (std::is_same_v<E, forms::MouseInput>) {
            form.mouse(e);
          } else if constexpr (std::is_same_v<E, platform::CloseRequest>) {
            form.closeRequested();
          } else if constexpr (std::is_same_v<E, platform::Exposed>) {
            form.exposed();
          }
        },
        event);
    if (form.ended()) {
      break;
    }
    form.runDueTimers();
    if (afterTimers) {
      afterTimers(form);
    }
    if (form.needsPaint()) {
      host.render(form.paint());
    }
  }
  return 0;
}

}  // namespace vombrel
