// The player's choice of window and fullscreen; see view_choice.h.
#include "platform/desktop/view_choice.h"

#include <algorithm>

namespace platform::desktop {

namespace {

enum class Command { None, ToggleFullscreen, Bigger, Smaller, Usual };

// Ctrl+Alt combinations belong to the desktop (Ctrl+Alt+minus zooms on some), not to us.
Command commandFor(ViewKey key, bool ctrl, bool alt) {
  if (key == ViewKey::F11 && !ctrl && !alt) {
    return Command::ToggleFullscreen;
  }
  if (key == ViewKey::Enter && alt && !ctrl) {
    return Command::ToggleFullscreen;
  }
  if (!ctrl || alt) {
    return Command::None;
  }
  switch (key) {
    case ViewKey::Plus:
      return Command::Bigger;
    case ViewKey::Minus:
      return Command::Smaller;
    case ViewKey::Zero:
      return Command::Usual;
    default:
      return Command::None;
  }
}

}  // namespace

FactorLimits factorLimits(Size scene, Size usable, Frame frame, double dpi) {
  // The dots per inch of a desktop at its usual scale, 100 %.
  constexpr double kStandardDpi = 96.0;
  const Size room = clientRoom(usable, frame);
  return {defaultFactor(scene, room, static_cast<int>(dpi / kStandardDpi)),
          fittingFactor(scene, room)};
}

ViewChoices::ViewChoices(Overrides commandLine, std::optional<std::string> settingsFile, Warn warn)
    : commandLine_(commandLine), file_(std::move(settingsFile)), warn_(std::move(warn)) {
  if (file_) {
    Loaded got = loadSettings(*file_);
    saved_ = got.settings;
    for (const std::string& warning : got.warnings) {
      if (warn_) {
        warn_(warning);
      }
    }
  }
}

Choice ViewChoices::start(FactorLimits limits) {
  Choice& c = current_;
  c.factor = std::clamp(commandLine_.scale.value_or(saved_.scale.value_or(limits.usual)), 1,
                        std::max(1, limits.largest));
  c.fullscreen = commandLine_.fullscreen.value_or(saved_.fullscreen.value_or(false));
  return c;
}

bool ViewChoices::isViewKey(ViewKey key, bool ctrl, bool alt) {
  return commandFor(key, ctrl, alt) != Command::None;
}

std::optional<Choice> ViewChoices::press(ViewKey key, bool ctrl, bool alt, FactorLimits limits) {
  Choice next = current_;
  switch (commandFor(key, ctrl, alt)) {
    case Command::None:
      return std::nullopt;
    case Command::ToggleFullscreen:
      next.fullscreen = !next.fullscreen;
      saved_.fullscreen = next.fullscreen;
      break;
    // The factor is the window's: fullscreen has its own, the largest that fits.
    case Command::Bigger:
    case Command::Smaller:
      if (next.fullscreen) {
        return std::nullopt;
      }
      next.factor =
          std::clamp(next.factor + (key == ViewKey::Plus ? 1 : -1), 1, std::max(1, limits.largest));
      saved_.scale = next.factor;
      break;
    case Command::Usual:
      if (next.fullscreen) {
        return std::nullopt;
      }
      next.factor = limits.usual;
      saved_.scale.reset();
      break;
  }
  if (next == current_) {
    return std::nullopt;
  }
  current_ = next;
  save();
  return current_;
}

void ViewChoices::save() {
  if (!file_) {
    return;
  }
  std::string error = saveSettings(*file_, saved_);
  if (!error.empty() && !saveFailed_ && warn_) {
    warn_("cannot remember the window's size: " + error);
  }
  saveFailed_ = saveFailed_ || !error.empty();
}

}  // namespace platform::desktop
