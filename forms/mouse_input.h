// One mouse event as a host hands it to the form: where, which button, and whether the window
// system counts the press as the second of a double click.
#pragma once

namespace forms {

// In pixels of the client area (fractions allowed).
struct MouseInput {
  enum class Type { Move, Down, Up };
  Type type = Type::Move;
  int button = 1;  // 1 left, 2 right, 4 middle
  int shift = 0;
  double x = 0, y = 0;
  // For a press: the second press of a double click, as the window system decides it.
  bool doubleClick = false;
};

}  // namespace forms
