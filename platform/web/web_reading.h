// What the canvas's fallback content says for a frame: the texts a player sees, as a player reads
// them, so that a screen reader hears each caption before its value ("Pokusů: 99").
//
//   std::string said = web::readingOf(frame);   // one row of the screen a line
#pragma once

#include <string>

#include "forms/draw_list.h"

namespace platform::web {

// The frame's texts row by row from the top, left to right within a row. Texts wholly under a
// later fill (the about panel's backdrop) are not seen, so they are not read.
std::string readingOf(const forms::Frame& frame);

}  // namespace platform::web
