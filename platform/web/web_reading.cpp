// Reading a frame's texts in screen order; see web_reading.h.
#include "platform/web/web_reading.h"

#include <algorithm>
#include <variant>
#include <vector>

namespace platform::web {

std::string readingOf(const forms::Frame& frame) {
  std::vector<const forms::DrawTextRun*> runs;
  std::vector<forms::PixelRect> coverings;  // fills drawn after the text seen so far
  for (auto c = frame.commands.rbegin(); c != frame.commands.rend(); ++c) {
    if (const auto* fill = std::get_if<forms::FillRect>(&*c)) {
      coverings.push_back(fill->rect);
    } else if (const auto* run = std::get_if<forms::DrawTextRun>(&*c)) {
      forms::PixelRect seen = run->box.intersect(run->clip);
      bool covered = std::any_of(coverings.begin(), coverings.end(),
                                 [&](const auto& r) { return r.intersect(seen) == seen; });
      if (!run->text.empty() && !seen.empty() && !covered)
        runs.push_back(run);
    }
  }
  std::stable_sort(runs.begin(), runs.end(),
                   [](const auto* a, const auto* b) { return a->box.y < b->box.y; });
  // A row is the texts whose middle lies within the top text of the row: buttons a pixel or
  // two apart in height still read as one row.
  std::string said;
  for (auto row = runs.begin(); row != runs.end();) {
    int bottom = (*row)->box.y + (*row)->box.h;
    auto end = std::find_if(row, runs.end(),
                            [&](const auto* r) { return r->box.y + r->box.h / 2 >= bottom; });
    std::stable_sort(row, end, [](const auto* a, const auto* b) { return a->box.x < b->box.x; });
    for (auto r = row; r != end; ++r)
      said += (*r)->text + (r + 1 == end ? '\n' : ' ');
    row = end;
  }
  return said;
}

}  // namespace platform::web
