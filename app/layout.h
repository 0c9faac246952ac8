// The numbers of the window's layout that handlers share, in twips. app/layout.cpp places the
// controls with them, and the handlers that move the target and the bird, or colour a missed
// shot by where it lands, read them from here, so a number that means one thing has one name.
#pragma once

#include "forms/types.h"

namespace layout {

// The window's client area: 304 x 213 pixels at 96 dpi.
inline constexpr float kWindowWidth = 4560;
inline constexpr float kWindowHeight = 3195;

// The fence runs across the window from this Top down; the target rests behind it with its top
// on the fence's edge, and rises 540 twips, a whole figure, to its peak.
inline constexpr float kFenceTop = 1560;
inline constexpr float kTargetParkedTop = kFenceTop;
inline constexpr float kTargetPeakTop = kFenceTop - 540;
// Each appearance puts the target's Left at a random whole number from 1 to kTargetLeftMax, so
// that its right edge stays inside the window.
inline constexpr double kTargetLeftMax = 3960;

// The bird starts just left of the window, 150 twips wide, at a random Top in the sky above
// kBirdSky, and is gone once its Left passes the window's right edge.
inline constexpr float kBirdOutOfView = -150;
inline constexpr double kBirdSky = 840;
inline constexpr float kBirdGone = kWindowWidth;
// How far the bird flies to the right at each tick of Timer6.
inline constexpr float kBirdStep = 100;

// Where a missed shot on the window lands: sky above kSkyBottom, grass below kGrassTop, and in
// between, just above the fence, no mark at all.
inline constexpr float kSkyBottom = 1080;
inline constexpr float kGrassTop = 1545;
// Where a shot on the fence lands, from the fence's own top: the sky seen over it above
// kBoardsTop, the boards down to kBoardsBottom, the grass below.
inline constexpr float kBoardsTop = 60;
inline constexpr float kBoardsBottom = 555;
// The fence's own brown pen: its colour until the first shot, and the mark a shot at the
// message label on the fence leaves on the boards.
inline constexpr forms::Color kFencePen = forms::Color::rgb(128, 64, 0);

}  // namespace layout
