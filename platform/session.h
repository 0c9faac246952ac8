// The one loop body of the program: what every host does with a form, whether it blocks in its
// own loop (SDL, Win32: a BlockingHost, as below) or is called back by its platform and must
// return (a browser page).
//
//   platform::Session session(host, form, {icon, cursor});
//   if (Status st = session.start(); !st.ok()) fail(st.error);   // window, Load, first frame
//   for (auto step = session.step(); !step.ended; step = session.step()) {
//     session.handle(host.wait(step.nextDeadline));              // one input, or a timeout
//   }
//
// step() runs every timer that is due, renders a frame if anything changed and says when the
// next timer is due (nothing: no timer runs, sleep until input). The headless test driver and
// the real program go through these same steps.
#pragma once

#include <functional>
#include <optional>
#include <span>

#include "forms/form.h"
#include "platform/host.h"

namespace platform {

class Session {
 public:
  // The pictures the window shows that the form does not hold as controls.
  struct Chrome {
    std::span<const std::uint8_t> icon, cursor;
  };

  struct Step {
    std::optional<forms::Millis> nextDeadline;  // when to run step() again without input
    bool ended = false;                         // the program is over: stop calling
  };

  Session(Host& host, forms::Form& form, Chrome chrome);

  // Opens the window with the form's caption and client size, runs Load, shows the window and
  // renders the first frame.
  Status start();
  // Hands one event from the host to the form. A timeout carries nothing: step() does the work.
  void handle(const HostEvent& event);
  // Runs the due timers, then renders a frame if anything changed.
  Step step();

  // Called after every round of due timers and before the frame: a benchmark's eye on the game.
  void watch(std::function<void()> afterTimers) { afterTimers_ = std::move(afterTimers); }

 private:
  Host& host_;
  forms::Form& form_;
  Chrome chrome_;
  std::function<void()> afterTimers_;
};

}  // namespace platform
