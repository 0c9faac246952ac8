// When a host gives the game's loop its next turn, and how long the host may sleep until then.
// The rule every host keeps: a wait is counted from one reading of the clock and is never below
// zero. Counted from two readings, a deadline that passes between them (the thread preempted
// for a moment) gives a negative wait, which a system's unsigned milliseconds read as weeks: the
// game would stand still until the mouse moved.
//
//   auto left = platform::sleepUntil(deadline, clock.now());   // nothing: until input
//
// A host that calls the loop back from a message loop of its own keeps the loop's wishes in a
// Turns, and asks it what to do whenever it has the thread (its loop, a timer message):
//
//   platform::Turns turns(clock);
//   turns.wakeAt(step.nextDeadline);       // what the loop asked for after its turn
//   turns.pause(true);                     // the game's message box is open
//   platform::Turns::Next next = turns.next();
//   if (next.turn) loop.deliver(platform::Timeout{});
//   else sleepAtMost(next.sleep);          // nothing: until input
#pragma once

#include <optional>

#include "platform/clock.h"

namespace platform {

// The longest single wait, about twelve days: it fits every system's wait call, and a timer of
// the game's is never that far off.
constexpr forms::Millis kLongestSleep = forms::Millis{1} << 30;

// How long to sleep until `deadline` at `now`: 0 once it has come, at most kLongestSleep, and
// nothing when there is no deadline.
std::optional<forms::Millis> sleepUntil(std::optional<forms::Millis> deadline, forms::Millis now);

// The earlier of two deadlines, either of which may be none.
std::optional<forms::Millis> earliest(std::optional<forms::Millis> a,
                                      std::optional<forms::Millis> b);

class Turns {
 public:
  explicit Turns(const Clock& clock) : clock_(clock) {}

  void wakeAt(std::optional<forms::Millis> deadline) { deadline_ = deadline; }
  // While paused the loop gets no turn at all: under the game's own message box the game waits
  // for the player, and a turn there would run its handlers inside one of their own.
  void pause(bool paused) { paused_ = paused; }
  bool paused() const { return paused_; }

  struct Next {
    bool turn = false;                   // the deadline has come: the loop's turn, now
    std::optional<forms::Millis> sleep;  // how long until it comes; nothing: only input wakes
  };
  Next next() const;

 private:
  const Clock& clock_;
  std::optional<forms::Millis> deadline_;
  bool paused_ = false;
};

}  // namespace platform
