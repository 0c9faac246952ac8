// The program's loop on a host that can block: it sleeps in the host until input arrives or the
// next timer is due, so a window where nothing moves costs nothing. The work of each turn is the
// session's (platform/session.h), the same for every host.
#include "app/game_loop.h"

#include <cstdio>

#include "app/form1.h"
#include "assets/resources.h"
#include "platform/session.h"

namespace vombrel {

int run(platform::BlockingHost& host, const AfterTimers& afterTimers) {
  Form1 form(host);
  platform::Session session(
      host, form, {assets::picture(assets::Pic::Icon), assets::picture(assets::Pic::GunSight)});
  if (afterTimers)
    session.watch([&] { afterTimers(form); });
  if (platform::Status started = session.start(); !started.ok()) {
    std::fprintf(stderr, "vombrel: %s\n", started.error.c_str());
    return 1;
  }
  for (auto step = session.step(); !step.ended; step = session.step())
    session.handle(host.wait(step.nextDeadline));
  return 0;
}

}  // namespace vombrel
