// The player's choice of how the desktop program shows the scene: a window at a whole factor, or
// fullscreen. It comes from the command line, else from the settings file, else the defaults;
// the keys change it, and only what the keys chose is written back to the file. The host
// translates its key events into ViewKey and applies what comes back; no key it takes here ever
// reaches the game.
//
//   desktop::ViewChoices choices(commandLine.choice, settingsFile, warn);  // reads the file
//   desktop::Choice now = choices.start(limits);
//   ...on a key press:
//   if (auto changed = choices.press(key, ctrl, alt, limits)) show(*changed);  // saved already
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/desktop/command_line.h"
#include "platform/desktop/scale.h"
#include "platform/desktop/settings.h"

namespace platform::desktop {

// The keys the host looks at. Plus covers "+", "=" (plus without Shift on a US keyboard) and the
// keypad's plus; Minus and Zero their keys and the keypad's.
enum class ViewKey { F11, Enter, Plus, Minus, Zero, Other };

struct Choice {
  int factor = 1;  // the window's, kept while fullscreen so that leaving it gives it back
  bool fullscreen = false;
  friend bool operator==(const Choice&, const Choice&) = default;
};

// What the screen allows the window: its default factor (scale.h) and the largest that fits.
struct FactorLimits {
  int usual = 1, largest = 1;
};

// The limits on a screen whose usable area is `usable`, for a window in `frame`, on a desktop
// drawing at `dpi`: the usual factor never below the desktop's own (2 at 192 dpi), and the
// largest one whose window, title bar included, fits the usable area.
FactorLimits factorLimits(Size scene, Size usable, Frame frame, double dpi);

class ViewChoices {
 public:
  using Warn = std::function<void(const std::string&)>;

  // Reads the settings file, if there is one; a bad one is the defaults and one `warn`.
  ViewChoices(Overrides commandLine, std::optional<std::string> settingsFile, Warn warn);
  // The defaults, remembering nothing: for tests and programs that keep no settings.
  ViewChoices() : ViewChoices({}, std::nullopt, {}) {}

  // The choice the program opens with, which becomes the current one.
  Choice start(FactorLimits limits);
  // The new choice when the key (with Ctrl or Alt held) is one of the view's and changes it,
  // after saving it; nothing when the key is not the view's. F11 and Alt+Enter toggle
  // fullscreen; in a window Ctrl+plus and Ctrl+minus step the factor within the limits, and
  // Ctrl+0 goes back to the usual one.
  std::optional<Choice> press(ViewKey key, bool ctrl, bool alt, FactorLimits limits);
  // Whether the key is one of the view's: the host keeps it from the game even when it changes
  // nothing (Ctrl+plus at the largest size).
  static bool isViewKey(ViewKey key, bool ctrl, bool alt);

  const Choice& current() const { return current_; }

 private:
  void save();

  Overrides commandLine_;
  std::optional<std::string> file_;
  Warn warn_;
  Settings saved_;
  Choice current_;
  bool saveFailed_ = false;  // warned once: a read-only home must not fill the terminal
};

}  // namespace platform::desktop
