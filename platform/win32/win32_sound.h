// The game's one sound channel on Windows: sndPlaySoundA plays a WAV image straight from memory,
// in the background, and a new sound stops the one before. WinMM reads the bytes while it plays,
// so the channel keeps its own copy of the sound that plays and lets it go only once WinMM has
// been handed the next one, or told to stop. Failures are silence.
//
//   SoundChannel sound;        // plays through WinMM
//   sound.play(wavBytes);      // returns at once; the caller may drop its bytes
//   // ~SoundChannel stops the sound, then frees its bytes
//
// Tests hand it a player of their own to watch which bytes WinMM would read, and when.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace platform::win32 {

class SoundChannel {
 public:
  // Starts a WAV image playing, cutting off the one before; null stops whatever plays.
  using Player = std::function<void(const std::uint8_t* wav)>;

  SoundChannel();
  explicit SoundChannel(Player player) : player_(std::move(player)) {}
  SoundChannel(const SoundChannel&) = delete;
  SoundChannel& operator=(const SoundChannel&) = delete;
  ~SoundChannel();

  void play(std::span<const std::uint8_t> wav);

  // The bytes the player was last handed, kept alive while they may play.
  std::span<const std::uint8_t> playing() const { return bytes_; }

 private:
  Player player_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace platform::win32
