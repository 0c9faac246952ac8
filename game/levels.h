// The five levels of a game: the target's speed at each, in twips per tick of its rise and sink.
// START and the end of a game put the game back at level 1; a level's goal met takes it to the
// next one (game/hits.cpp), and level 5's goal wins.
//
// Every speed divides the target's travel of 540 twips, so that its Top meets the peak and the
// rest exactly (game/target_cycle.cpp).
#pragma once

#include <cstdint>

namespace levels {

inline constexpr std::int16_t kLevel1Speed = 60;

// The goal met at level `from` leads to level from + 1, where the target moves at `speed`.
struct LevelUp {
  int from;
  std::int16_t speed;
};
inline constexpr LevelUp kLevelUps[] = {{1, 90}, {2, 108}, {3, 135}, {4, 180}};

}  // namespace levels
