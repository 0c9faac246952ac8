// The game's one sound channel on SDL's own audio: a WAV image from memory starts at once and
// cuts off whatever was playing. Without a usable sound device the channel is silent; nothing
// here ever fails the game.
//
// The device is open only while there is something to hear. SDL's audio thread wakes the process
// every buffer for as long as a device is open, silence or not, and the game must sleep soundly
// while nothing moves; so the device opens at a sound and closes once the sound is over. Whoever
// waits for events wakes up at closeAt() and calls closeIfDone():
//
//   Sound sound;            // after SDL_Init; opens nothing yet
//   sound.play(wavBytes);   // returns at once
//   if (auto at = sound.closeAt()) { ... wait no longer than `at`, then sound.closeIfDone(); }
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform::sdl {

class Sound {
 public:
  using Clock = std::chrono::steady_clock;

  Sound() = default;
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;
  ~Sound();

  void play(std::span<const std::uint8_t> wav);

  // When the open device will have nothing left to play; nullopt while it is closed.
  std::optional<Clock::time_point> closeAt() const { return closeAt_; }
  // Closes the device if its sound is over, or moves closeAt() to the new end if it is not.
  void closeIfDone();

 private:
  bool openDevice();
  bool tryOpen(const char* driver);
  void closeDevice();

  std::uint32_t device_ = 0;  // SDL's device id; 0 while closed
  std::string driver_;        // the driver that opened the last time, tried first the next time
  bool silent_ = false;       // no driver at all, not even SDL's dummy: never tried again
  std::optional<Clock::time_point> closeAt_;
};

}  // namespace platform::sdl
