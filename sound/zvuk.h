// Zvuk: the sound module. PlaySound loads one WAV of the built-in sound bank by id and hands it
// to the host's single sound channel, where it cuts off whatever was playing.
//
//   zvuk.PlaySound(assets::Sound::Shot, assets::kSoundType);   // returns at once; it plays on
//
// Every call loads the resource anew; the host keeps its own copy while it plays. A missing sound
// shows the message box "Please check the spelling of the ID or TYPE." (once per call) and lets the
// caller go on; every other failure is silent.
#pragma once

#include <string_view>

#include "assets/resources.h"
#include "platform/game_services.h"

class Zvuk {
 public:
  // The title of the message box: the application's name, not the window caption.
  static constexpr const char* kAppName = "Vombrel";

  explicit Zvuk(platform::GameServices& services) : services_(services) {}

  // The game's calls name their sound; a bare number is rounded to its whole id.
  void PlaySound(assets::Sound id, std::string_view type) { PlaySound(static_cast<int>(id), type); }
  void PlaySound(double id, std::string_view type);

 private:
  platform::GameServices& services_;
};
