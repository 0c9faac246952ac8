// Word wrap; see word_wrap.h.
#include "forms/word_wrap.h"

namespace forms {

std::string wrapWords(std::string_view utf8, int width,
                      const std::function<int(std::string_view)>& measureWidth) {
  std::string out;
  std::size_t lineStart = 0;  // in utf8
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    if (utf8[pos] == '\n') {
      out.append(utf8.substr(lineStart, pos + 1 - lineStart));
      lineStart = ++pos;
      continue;
    }
    // The next word and the spaces after it.
    std::size_t wordEnd = utf8.find_first_of(" \n", pos);
    if (wordEnd == std::string_view::npos)
      wordEnd = utf8.size();
    std::size_t spacesEnd = utf8.find_first_not_of(' ', wordEnd);
    if (spacesEnd == std::string_view::npos)
      spacesEnd = utf8.size();
    // Only the words count against the width, not the spaces that end the line.
    const bool fits = measureWidth(utf8.substr(lineStart, wordEnd - lineStart)) <= width;
    if (!fits && pos > lineStart) {
      out.append(utf8.substr(lineStart, pos - lineStart));
      out.push_back('\n');
      lineStart = pos;
    }
    pos = spacesEnd;
  }
  out.append(utf8.substr(lineStart));
  return out;
}

}  // namespace forms
