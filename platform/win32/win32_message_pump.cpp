// The Win32 host's wait, on a fiber of its own: see win32_message_pump.h.
#include "platform/win32/win32_message_pump.h"

#include <windows.h>

#include <algorithm>

namespace platform::win32 {

MessagePump::~MessagePump() {
  if (pumpFiber_ != nullptr) {
    DeleteFiber(pumpFiber_);
  }
  if (gameFiber_ != nullptr) {
    ConvertFiberToThread();
  }
}

HostEvent MessagePump::wait(std::optional<forms::Millis> deadline) {
  deadline_ = deadline;
  if (pumpFiber_ == nullptr) {
    gameFiber_ = ConvertThreadToFiber(nullptr);
    pumpFiber_ = gameFiber_ != nullptr ? CreateFiber(0, pumpMessages, this) : nullptr;
  }
  if (pumpFiber_ == nullptr) {
    return nextEvent();
  }
  pumping_ = true;
  SwitchToFiber(pumpFiber_);
  return answer_;
}

void CALLBACK MessagePump::pumpMessages(void* pump) {
  auto* self = static_cast<MessagePump*>(pump);
  for (;;) {
    self->handToGame(self->nextEvent());
  }
}

void MessagePump::handToGame(HostEvent event) {
  answer_ = event;
  pumping_ = false;
  SwitchToFiber(gameFiber_);
  pumping_ = true;
}

// Takes the window's messages until one of them is an event for the game or the deadline passes.
HostEvent MessagePump::nextEvent() {
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        return CloseRequest{};
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (std::optional<HostEvent> event = due()) {
      return *event;
    }
    DWORD timeout = INFINITE;
    if (deadline_) {
      timeout = static_cast<DWORD>(std::min<forms::Millis>(*deadline_ - clock_.now(), 1 << 30));
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

std::optional<HostEvent> MessagePump::due() {
  if (!events_.empty()) {
    HostEvent event = events_.front();
    events_.pop_front();
    return event;
  }
  if (deadline_ && *deadline_ - clock_.now() <= 0) {
    return Timeout{};
  }
  return std::nullopt;
}

void MessagePump::queue(HostEvent event) {
  events_.push_back(event);
  armTurnTimer();
}

void MessagePump::systemLoop(bool entered) {
  systemLoops_ = std::max(0, systemLoops_ + (entered ? 1 : -1));
  armTurnTimer();
}

// Inside the system's loops, the next turn comes when the game's next timer is due, or at once
// when an event waits.
void MessagePump::armTurnTimer() {
  if (systemLoops_ == 0 || (events_.empty() && !deadline_)) {
    KillTimer(window_, kTurnTimer);
    return;
  }
  forms::Millis left = events_.empty() ? *deadline_ - clock_.now() : 0;
  SetTimer(window_, kTurnTimer,
           static_cast<UINT>(std::clamp<forms::Millis>(left, USER_TIMER_MINIMUM, 1 << 30)),
           nullptr);
}

// The game's loop takes its turns as if the wait had ended, then hands the thread back to the
// system's loop. Under a message box of the game's own the game is waiting for the player, and
// gets no turn.
void MessagePump::turn() {
  if (!pumping_) {
    KillTimer(window_, kTurnTimer);
    return;
  }
  while (std::optional<HostEvent> event = due()) {
    handToGame(*event);
  }
  armTurnTimer();
}

}  // namespace platform::win32
