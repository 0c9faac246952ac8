// The Win32 host's wait: takes the window's messages until one of them is an event for the game
// or the game's next timer is due. The messages are taken on a fiber of their own, so that when
// the system keeps the thread in a loop of its own (the title bar dragged, the window menu open),
// a timer inside that loop still gives the game's loop its turns: the clock runs and the scene
// paints on, as they did under the forms runtime the game was made for.
//
//   win32::MessagePump pump(clock);
//   pump.attach(window);                  // the window whose timer brings the turns
//   ...in the window procedure:
//   pump.queue(CloseRequest{});           // an event for the game
//   pump.systemLoop(true);                // WM_ENTERSIZEMOVE, WM_ENTERMENULOOP (false: EXIT)
//   pump.turn();                          // WM_TIMER with MessagePump::kTurnTimer
//   ...in the game's loop:
//   HostEvent next = pump.wait(deadline);
//
// Without fibers (the thread is one already) it waits in place, and the system's loops hold the
// game still.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "platform/clock.h"
#include "platform/host.h"

struct HWND__;

namespace platform::win32 {

class MessagePump {
 public:
  static constexpr std::uintptr_t kTurnTimer = 1;  // the WM_TIMER id of the game's turns

  explicit MessagePump(const Clock& clock) : clock_(clock) {}
  ~MessagePump();
  MessagePump(const MessagePump&) = delete;
  MessagePump& operator=(const MessagePump&) = delete;

  void attach(HWND__* window) { window_ = window; }
  HostEvent wait(std::optional<forms::Millis> deadline);
  void queue(HostEvent event);
  void systemLoop(bool entered);
  void turn();

 private:
  static void __stdcall pumpMessages(void* pump);
  HostEvent nextEvent();
  std::optional<HostEvent> due();
  void handToGame(HostEvent event);
  void armTurnTimer();

  const Clock& clock_;
  HWND__* window_ = nullptr;
  std::deque<HostEvent> events_;
  void* gameFiber_ = nullptr;
  void* pumpFiber_ = nullptr;
  bool pumping_ = false;                   // the pump's fiber has the thread
  std::optional<forms::Millis> deadline_;  // of the wait the game's loop is in
  HostEvent answer_;                       // what the pump hands back to the game's loop
  int systemLoops_ = 0;                    // how deep the system's own loops are
};

}  // namespace platform::win32
