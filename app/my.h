// My: the module that keeps the mouse cursor inside the window while a game runs.
//
// ConfineCursor is called by START with the window; it computes the window's whole rectangle
// on the screen (frame included) once and hands it to the host. ReleaseCursor frees the cursor
// completely: by STOP, at the end of a game, at the exit and when the window unloads.
#pragma once

#include "forms/environment.h"
#include "platform/game_services.h"

class Form1;

namespace My {

// The rectangle of screen pixels the window covers: its twips divided by the screen's twips
// per pixel, rounded to nearest with ties to even.
platform::ClipRect windowClip(const forms::WindowRect& window, const forms::ScreenInfo& screen);

void ConfineCursor(Form1& window);
void ReleaseCursor(Form1& window);

}  // namespace My
