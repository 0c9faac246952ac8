// The program's loop, one for every host. The work of each turn is the session's
// (platform/session.h); the loop keeps the run going between turns and asks for the next one.
//
// A host that is called back (the page, Windows) calls the loop with each input and at the
// deadline the loop last asked for; a blocking host (SDL, the tests') is asked for each input in
// turn, and sleeps until input arrives or the deadline passes. Either way an idle window costs
// nothing.
#include "app/game_loop.h"

#include <cstdio>
#include <optional>
#include <utility>

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

// The program's loop, whoever calls it: a run ends with its window, and the page may begin
// another with a fresh form, as a new start of the desktop program would.
class GameLoop final : public platform::Loop {
 public:
  GameLoop(platform::Host& host, platform::LoopCaller& caller, AfterTimers afterTimers = {})
      : host_(host), caller_(caller), afterTimers_(std::move(afterTimers)) {}

  bool begin() override {
    session_.reset();
    form_.emplace(host_);
    session_.emplace(host_, *form_, chrome());
    if (afterTimers_)
      session_->watch([this] { afterTimers_(*form_); });
    // Nothing the window system says while the window opens reaches a form not yet loaded.
    ended_ = true;
    failed_ = !started(*session_);
    if (failed_) {
      session_.reset();
      return false;
    }
    ended_ = false;
    turn();
    return true;
  }

  void deliver(const platform::HostEvent& event) override {
    if (running() && !caller_.paused()) {
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

  // The last run could not start.
  bool failed() const { return failed_; }

 private:
  bool running() const { return session_ && !ended_; }

  // Runs the due timers and a frame, then asks to be called at the next timer; with no timer
  // running, only input calls again.
  void turn() {
    if (!running() || caller_.paused())
      return;
    platform::Session::Step step = session_->step();
    if (step.ended) {
      end();
      return;
    }
    caller_.announce(form_->announcement());
    caller_.wakeAt(step.nextDeadline);
  }

  // The scene stays as it stood, under the host's word that the program has ended.
  void end() {
    ended_ = true;
    caller_.ended();
  }

  platform::Host& host_;
  platform::LoopCaller& caller_;
  AfterTimers afterTimers_;
  std::optional<Form1> form_;
  std::optional<platform::Session> session_;  // refers to form_, so it goes first
  bool ended_ = false;
  bool failed_ = false;
};

// A blocking host's side of the loop: the loop asks it for the next input, or for a timeout at
// the deadline of the loop's last turn, until the program ends. It never pauses: a blocking
// host's message box holds the thread.
class Pull final : public platform::LoopCaller {
 public:
  bool paused() const override { return false; }
  void wakeAt(std::optional<forms::Millis> deadline) override { deadline_ = deadline; }
  void announce(const std::string&) override {}
  void ended() override { over_ = true; }

  void play(platform::BlockingHost& host, platform::Loop& loop) {
    while (!over_)
      loop.deliver(host.wait(deadline_));
  }

 private:
  std::optional<forms::Millis> deadline_;
  bool over_ = false;
};

}  // namespace

int run(platform::BlockingHost& host, const AfterTimers& afterTimers) {
  Pull pull;
  GameLoop loop(host, pull, afterTimers);
  if (!loop.begin())
    return 1;
  pull.play(host, loop);
  return 0;
}

int serve(platform::CallbackHost& host) {
  static GameLoop loop(host, host);
  host.serve(loop);
  return loop.failed() ? 1 : 0;
}

}  // namespace vombrel
