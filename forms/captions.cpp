// Numeric captions (see captions.h).
#include "forms/captions.h"

#include <charconv>
#include <cmath>
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
  char buf[64];
  // Plain digits, as a score or counter reads; only huge numbers take an exponent.
  auto format = std::fabs(value) < 1e15 ? std::chars_format::fixed : std::chars_format::general;
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, format);
  if (ec != std::errc{})
    return "0";  // cannot happen with this buffer; never hand out garbage
  return std::string(buf, end);
}

}  // namespace forms
