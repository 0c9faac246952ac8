// The Win32 host's thread: the window's messages taken, and the game's loop called back from
// them. The loop gets its turn at the deadline it asked for: from the thread's own message loop,
// which sleeps in MsgWaitForMultipleObjectsEx until then or until a message comes, and, while
// the system holds the thread in a loop of its own (the title bar dragged, the window menu open,
// the window sized), from a timer at the same deadline. So the clock runs and the scene paints
// on, as they did under the forms runtime the game was made for. Under the game's own message
// box the loop gets no turn, and no input: no handler of the game ever runs inside another.
//
//   win32::MessageLoop messages(clock);
//   messages.attach(window);            // the window whose timer brings the turns
//   if (!messages.run(loop)) ...        // begins the run; returns once it has ended
//   ...in the window procedure:
//   messages.deliver(CloseRequest{});   // an input for the game
//   messages.systemLoop(true);          // WM_ENTERSIZEMOVE, WM_ENTERMENULOOP (false: EXIT)
//   messages.turnTimer();               // WM_TIMER with MessageLoop::kTurnTimer
//   ...for the game's loop (platform::LoopCaller): wakeAt(deadline); pause(true) while the
//   message box is open; end() when the program is over, even inside a system's loop.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/host.h"
#include "platform/turns.h"

struct HWND__;

namespace platform::win32 {

class MessageLoop {
 public:
  static constexpr std::uintptr_t kTurnTimer = 1;  // the WM_TIMER id of the loop's turns

  explicit MessageLoop(const Clock& clock) : turns_(clock) {}
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  void attach(HWND__* window) { window_ = window; }
  // False when the run could not begin.
  bool run(Loop& loop);
  void deliver(const HostEvent& event);
  void systemLoop(bool entered);
  void turnTimer();

  void wakeAt(std::optional<forms::Millis> deadline);
  void pause(bool paused);
  bool paused() const { return turns_.paused(); }
  void end();

 private:
  void armTimer();

  Turns turns_;
  HWND__* window_ = nullptr;
  Loop* loop_ = nullptr;  // while run() runs
  bool inTurn_ = false;   // the loop has the thread: nothing calls it again until it returns
  bool ended_ = false;
  int systemLoops_ = 0;  // how deep the system's own loops are
};

}  // namespace platform::win32
