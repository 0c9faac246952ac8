// The Win32 host's thread and the game's turns; see win32_message_loop.h.
#include "platform/win32/win32_message_loop.h"

#include <windows.h>

#include <algorithm>

namespace platform::win32 {

bool MessageLoop::run(Loop& loop) {
  loop_ = &loop;
  ended_ = false;
  if (!loop.begin()) {
    loop_ = nullptr;
    return false;
  }
  while (!ended_) {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        loop.close();
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      continue;
    }
    Turns::Next next = turns_.next();
    if (next.turn) {
      deliver(Timeout{});
    } else {
      MsgWaitForMultipleObjectsEx(0, nullptr,
                                  next.sleep ? static_cast<DWORD>(*next.sleep) : INFINITE,
                                  QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
  }
  loop_ = nullptr;
  return true;
}

void MessageLoop::deliver(const HostEvent& event) {
  if (loop_ == nullptr || inTurn_) {
    return;
  }
  inTurn_ = true;
  loop_->deliver(event);
  inTurn_ = false;
}

void MessageLoop::systemLoop(bool entered) {
  systemLoops_ = std::max(0, systemLoops_ + (entered ? 1 : -1));
  armTimer();
}

// Inside the system's loops the timer is the only way the thread comes back to the game: the turn
// comes only when it is due.
void MessageLoop::turnTimer() {
  if (turns_.next().turn) {
    deliver(Timeout{});
  }
  armTimer();
}

void MessageLoop::wakeAt(std::optional<forms::Millis> deadline) {
  turns_.wakeAt(deadline);
  armTimer();
}

void MessageLoop::pause(bool paused) {
  turns_.pause(paused);
  armTimer();
}

// A system's loop ends when it sees WM_QUIT, and hands the thread back to run(), which stops.
void MessageLoop::end() {
  ended_ = true;
  KillTimer(window_, kTurnTimer);
  PostQuitMessage(0);
}

void MessageLoop::armTimer() {
  Turns::Next next = turns_.next();
  if (systemLoops_ == 0 || ended_ || !next.sleep) {
    KillTimer(window_, kTurnTimer);
    return;
  }
  SetTimer(window_, kTurnTimer,
           static_cast<UINT>(std::max<forms::Millis>(*next.sleep, USER_TIMER_MINIMUM)), nullptr);
}

}  // namespace platform::win32
