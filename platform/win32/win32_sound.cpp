// The sound channel on WinMM; see win32_sound.h.
#include "platform/win32/win32_sound.h"

#include <windows.h>

#include <mmsystem.h>
#undef PlaySound

namespace platform::win32 {

namespace {

// Asynchronous, from memory, and silent when the sound cannot play: no default beep instead.
void playThroughWinmm(const std::uint8_t* wav) {
  if (wav == nullptr) {
    sndPlaySoundA(nullptr, 0);
  } else {
    sndPlaySoundA(reinterpret_cast<LPCSTR>(wav), SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
  }
}

}  // namespace

SoundChannel::SoundChannel() : player_(playThroughWinmm) {}

SoundChannel::~SoundChannel() {
  if (!bytes_.empty()) {
    player_(nullptr);
  }
}

void SoundChannel::play(std::span<const std::uint8_t> wav) {
  if (wav.empty()) {
    return;
  }
  std::vector<std::uint8_t> next(wav.begin(), wav.end());
  player_(next.data());
  // WinMM has let go of the old sound: only now may its bytes go.
  bytes_.swap(next);
}

}  // namespace platform::win32
