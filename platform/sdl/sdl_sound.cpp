// The sound channel on SDL2_mixer; see sdl_sound.h.
#include "platform/sdl/sdl_sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

namespace platform::sdl {

namespace {

// The game's sounds are 8-bit mono at 11025 Hz: mixing at that rate needs no resampling, and a
// 256-sample buffer (23 ms) lets a shot be heard within a frame or two of the click.
constexpr int kRate = 11025;
constexpr int kBufferSamples = 256;

}  // namespace

bool Sound::tryOpen() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    return false;
  }
  if (Mix_OpenAudio(kRate, AUDIO_S16SYS, 1, kBufferSamples) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

bool Sound::open() {
  if (open_) {
    return true;
  }
  open_ = tryOpen();
  if (!open_) {
    // A machine without a working sound device still plays the game, in silence. The dummy
    // driver keeps the mixer running so that every sound goes the same way.
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "no sound device, playing silently: %s",
                SDL_GetError());
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    open_ = tryOpen();
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
  }
  if (open_) {
    Mix_AllocateChannels(1);
  }
  return open_;
}

Sound::~Sound() {
  if (!open_) {
    return;
  }
  Mix_HaltChannel(-1);
  if (playing_ != nullptr) {
    Mix_FreeChunk(playing_);
  }
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Sound::play(std::span<const std::uint8_t> wav) {
  if (!open_) {
    return;
  }
  // The mixer converts the samples into a chunk of its own, so `wav` is not read after this.
  SDL_RWops* rw = SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size()));
  Mix_Chunk* next = rw != nullptr ? Mix_LoadWAV_RW(rw, 1) : nullptr;
  // Starting a chunk on the busy channel stops the old one at once; a sound that cannot be
  // decoded stops it too, so the newest call always wins, if only with silence.
  if (next == nullptr || Mix_PlayChannel(0, next, 0) < 0) {
    Mix_HaltChannel(0);
    if (next != nullptr) {
      Mix_FreeChunk(next);
      next = nullptr;
    }
  }
  if (playing_ != nullptr) {
    Mix_FreeChunk(playing_);
  }
  playing_ = next;
}

}  // namespace platform::sdl
