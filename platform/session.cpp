// The loop body every host runs (see session.h).
#include "platform/session.h"

#include <type_traits>

namespace platform {

Session::Session(Host& host, forms::Form& form, Chrome chrome)
    : host_(host), form_(form), chrome_(chrome) {}

Status Session::start() {
  WindowSetup setup;
  setup.title = form_.Caption;
  setup.clientWidth = form_.ClientWidth;
  setup.clientHeight = form_.ClientHeight;
  setup.icon = chrome_.icon;
  setup.cursor = chrome_.cursor;
  if (Status opened = host_.open(setup); !opened.ok())
    return opened;
  form_.Load();
  host_.show();
  host_.render(form_.paint());
  return {};
}

void Session::handle(const HostEvent& event) {
  std::visit(
      [this](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, forms::MouseInput>) {
          form_.mouse(e);
        } else if constexpr (std::is_same_v<E, CloseRequest>) {
          form_.closeRequested();
        } else if constexpr (std::is_same_v<E, Exposed>) {
          form_.exposed();
        }
      },
      event);
}

Session::Step Session::step() {
  if (!form_.ended()) {
    form_.runDueTimers();
    if (afterTimers_)
      afterTimers_();
  }
  // A form that has ended is gone with its window: nothing more is drawn.
  if (form_.ended())
    return {std::nullopt, true};
  if (form_.needsPaint())
    host_.render(form_.paint());
  return {form_.nextTimerDue(), false};
}

}  // namespace platform
