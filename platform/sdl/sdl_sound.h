// The game's one sound channel on SDL's own audio: a WAV image from memory starts at once and
// cuts off whatever was playing. Without a usable sound device the channel is silent; nothing
// here ever fails the game.
//
// The device is open only while there is something to hear. SDL's audio thread wakes the process
// every buffer for as long as a device is open, silence or not, and the game must sleep soundly
// while nothing moves; so the device opens at a sound and closes once the sound is over. Opening
// and closing are slow (closing waits for SDL to drain its buffers: 50 to 60 ms), far longer than
// a step of the target, so a thread of the channel's own does all the work with the device and
// the game only hands it the samples:
//
//   Sound sound;            // after SDL_Init(SDL_INIT_VIDEO); opens nothing yet
//   sound.play(wavBytes);   // returns at once
//   // ~Sound closes the device if it is open and ends the thread: before SDL_Quit
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace platform::sdl {

class Sound {
 public:
  using Clock = std::chrono::steady_clock;

  Sound();
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;
  ~Sound();

  void play(std::span<const std::uint8_t> wav);

 private:
  // The channel's thread; everything below the mutex's members is its own.
  void run();
  void start(const std::vector<std::uint8_t>& samples);
  bool openDevice();
  bool tryOpen(const char* driver);
  void closeDevice();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<std::vector<std::uint8_t>> next_;  // the newest sound, not yet taken up
  bool stopping_ = false;

  std::uint32_t device_ = 0;  // SDL's device id; 0 while closed
  std::string driver_;        // the driver that opened the last time, tried first the next time
  bool silent_ = false;       // no driver at all, not even SDL's dummy: never tried again
  std::optional<Clock::time_point> closeAt_;  // when the open device has nothing left to play

  std::thread thread_;  // last, so that it starts after everything it uses
};

}  // namespace platform::sdl
