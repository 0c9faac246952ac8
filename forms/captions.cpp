// Numeric captions (see captions.h).
#include "forms/captions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace forms {

double numberOf(const std::string& caption) {
  const char* begin = caption.c_str();
  char* end = nullptr;
  double v = std::strtod(begin, &end);
  // Nothing readable, or "inf"/"nan", which no caption of the game means as a number.
  if (end == begin || !std::isfinite(v))
    return 0;
  return v;
}

std::string textOf(double value) {
  if (value == 0)
    return "0";  // also for -0, which would read "-0"
  // Whole numbers, all that the game ever writes, in plain digits. Integer formatting is the
  // same on every toolchain and small, where the floating-point to_chars is neither.
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value));
    return std::string(digits, end);
  }
  // Anything else in the shortest text that reads back as the same number.
  char text[32];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    if (std::strtod(text, nullptr) == value)
      break;
  }
  return text;
}

}  // namespace forms
