// Numeric captions: the score, level and counter labels hold numbers as text. They are read as
// a double and written as the shortest decimal text ("0", "10", "-10", "120").
//
//   Label8.Caption = forms::textOf(forms::numberOf(Label8.Caption) - 1);
#pragma once

#include <string>

namespace forms {

// The number a caption holds; text that is not a number reads as 0.
double numberOf(const std::string& caption);
std::string textOf(double value);

}  // namespace forms
