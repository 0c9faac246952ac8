// The program's loop, on either kind of host. The work of each turn is the session's
// (platform/session.h), the same for every host; what differs is who waits.
//
// A blocking host sleeps until input arrives or the next timer is due, so a window where nothing
// moves costs nothing. A host that is called back (the page) calls the loop below with each
// input and at the deadline it last asked for, and an idle page costs nothing either.
#include "app/game_loop.h"

#include <cstdio>
#include <optional>

#include "app/form1.h"
#include "assets/resources.h"
#include "platform/session.h"

namespace vombrel {

namespace {

// The window's pictures that are not controls of the form.
platform::Session::Chrome chrome() {
  return {assets::picture(assets::Pic::Icon), assets::picture(assets::Pic::GunSight)};
}

// Opens the window, runs Load and paints the first frame, or says on stderr why it cannot.
bool started(platform::Session& session) {
  if (platform::Status status = session.start(); !status.ok()) {
    std::fprintf(stderr, "vombrel: %s\n", status.error.c_str());
    return false;
  }
  return true;
}

// The game on a host that calls back. A run ends with its window, and the page may begin
// another with a fresh form, as a new start of the desktop program would.
class CalledBackLoop final : public platform::CallbackHost::Loop {
 public:
  explicit CalledBackLoop(platform::CallbackHost& host) : host_(host) {}

  bool begin() override {
    session_.reset();
    form_.emplace(host_);
    session_.emplace(host_, *form_, chrome());
    ended_ = false;
    if (!started(*session_)) {
      session_.reset();
      return false;
    }
    turn();
    return true;
  }

  void deliver(const platform::HostEvent& event) override {
    if (running() && !host_.paused()) {
      session_->handle(event);
      turn();
    }
  }

  void resume() override { turn(); }

  void repaint() override {
    if (running()) {
      form_->exposed();
      host_.render(form_->paint());
    }
  }

  void close() override {
    if (running()) {
      session_->handle(platform::CloseRequest{});
      end();
    }
  }

 private:
  bool running() const { return session_ && !ended_; }

  // Runs the due timers and a frame, then asks to be called at the next timer; with no timer
  // running, only input calls again.
  void turn() {
    if (!running() || host_.paused())
      return;
    platform::Session::Step step = session_->step();
    if (step.ended) {
      end();
      return;
    }
    host_.announce(form_->announcement());
    host_.wakeAt(step.nextDeadline);
  }

  // The scene stays as it stood, under the host's word that the program has ended.
  void end() {
    ended_ = true;
    host_.ended();
  }

  platform::CallbackHost& host_;
  std::optional<Form1> form_;
  std::optional<platform::Session> session_;  // refers to form_, so it goes first
  bool ended_ = false;
};

}  // namespace

int run(platform::BlockingHost& host, const AfterTimers& afterTimers) {
  Form1 form(host);
  platform::Session session(host, form, chrome());
  if (afterTimers)
    session.watch([&] { afterTimers(form); });
  if (!started(session))
    return 1;
  for (auto step = session.step(); !step.ended; step = session.step())
    session.handle(host.wait(step.nextDeadline));
  return 0;
}

void serve(platform::CallbackHost& host) {
  static CalledBackLoop loop(host);
  host.serve(loop);
}

}  // namespace vombrel
