// Trying again while another program holds what the game needs for a moment: on an X desktop,
// the pointer, held by the window manager finishing Alt+Tab, an open menu or a screenshot tool
// picking its area. The game tries every 50 ms from its own loop, for ten seconds at most: soon
// enough that the player never notices the cursor free, and never for ever.
//
// Every try is reported, taken or refused, so that a hold taken makes the budget whole again:
// another program grabbing the pointer again and again costs at most ten seconds each time,
// never the confinement for the rest of the game. A new start (the focus changed, the window
// moved) makes it whole too.
//
//   desktop::Retries retries;
//   retries.tried(taken, now);              // after every try
//   if (retries.due(now)) tryAgain();       // from the loop; wake no later than retries.at()
//   retries.reset();                        // the focus came or went
#pragma once

#include <optional>

#include "forms/types.h"

namespace platform::desktop {

class Retries {
 public:
  static constexpr forms::Millis kEvery = 50;
  static constexpr forms::Millis kForAtMost = 10'000;

  // A try at `now`, taken or refused. False when it was refused and the budget is spent: nobody
  // tries again until reset().
  bool tried(bool taken, forms::Millis now);
  void reset();
  // When to try again; nothing while there is nothing to try.
  std::optional<forms::Millis> at() const { return at_; }
  bool due(forms::Millis now) const { return at_ && now >= *at_; }

 private:
  std::optional<forms::Millis> refusedSince_;  // the first refusal since the last hold or reset
  std::optional<forms::Millis> at_;
};

}  // namespace platform::desktop
