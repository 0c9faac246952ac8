// Word wrap as the desktop does it for a label: lines break after the spaces that follow a word,
// and those spaces stay at the end of the line they follow, where they show as nothing and take
// no room. So a sentence that ends a line never pushes its spaces to the start of the next one.
//
//   std::string lines = forms::wrapWords(text, 281, [&](std::string_view s) { return width(s); });
//
// The result is the text with a '\n' at every break; a host draws it line by line. A word wider
// than the whole line gets a line of its own and is cut by the label's box.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace forms {

std::string wrapWords(std::string_view utf8, int width,
                      const std::function<int(std::string_view)>& measureWidth);

}  // namespace forms
