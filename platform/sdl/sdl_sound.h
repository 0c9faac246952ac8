// The game's one sound channel on SDL2_mixer: a WAV image from memory starts at once and cuts
// off whatever was playing. Without a usable sound device the channel is silent; nothing here
// ever fails the game.
//
//   Sound sound;
//   sound.open();          // after SDL_Init; false (silent from then on) without a device
//   sound.play(wavBytes);  // returns at once
#pragma once

#include <cstdint>
#include <span>

struct Mix_Chunk;

namespace platform::sdl {

class Sound {
 public:
  Sound() = default;
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;
  ~Sound();

  bool open();
  void play(std::span<const std::uint8_t> wav);

 private:
  bool tryOpen();

  bool open_ = false;
  Mix_Chunk* playing_ = nullptr;  // the chunk on the channel; freed when the next one starts
};

}  // namespace platform::sdl
