// The sound channel on SDL's audio queue; see sdl_sound.h.
#include "platform/sdl/sdl_sound.h"

#include <SDL.h>
#include <dlfcn.h>

#include <utility>

namespace platform::sdl {

namespace {

// The game's sounds are 8-bit mono at 11025 Hz: playing at that rate needs no resampling, and a
// 256-sample buffer (23 ms) lets a shot be heard within a frame or two of the click. SDL
// converts to whatever the hardware wants behind the device.
constexpr int kRate = 11025;
constexpr SDL_AudioFormat kFormat = AUDIO_S16SYS;
constexpr int kBytesPerSecond = kRate * 2;
constexpr int kBufferSamples = 256;

// How long the device stays open after the queue has run dry: the last buffer and whatever the
// hardware holds still have to be heard, and a quick next sound finds the device open.
constexpr auto kTail = std::chrono::milliseconds(200);

Sound::Clock::duration playingTime(std::size_t bytes) {
  return std::chrono::milliseconds(bytes * 1000 / kBytesPerSecond);
}

// The samples of a WAV image in the device's format; empty when it cannot be read.
std::vector<Uint8> decodeWav(std::span<const std::uint8_t> wav) {
  SDL_RWops* rw = SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size()));
  SDL_AudioSpec source;
  Uint8* samples = nullptr;
  Uint32 length = 0;
  if (rw == nullptr || SDL_LoadWAV_RW(rw, 1, &source, &samples, &length) == nullptr) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot read a sound: %s", SDL_GetError());
    return {};
  }
  SDL_AudioCVT cvt;
  std::vector<Uint8> out;
  if (SDL_BuildAudioCVT(&cvt, source.format, source.channels, source.freq, kFormat, 1, kRate) < 0) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot convert a sound: %s", SDL_GetError());
  } else {
    out.assign(samples, samples + length);
    out.resize(static_cast<std::size_t>(length) * cvt.len_mult);
    cvt.buf = out.data();
    cvt.len = static_cast<int>(length);
    if (SDL_ConvertAudio(&cvt) == 0) {
      out.resize(cvt.len_cvt);
    } else {
      SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot convert a sound: %s", SDL_GetError());
      out.clear();
    }
  }
  SDL_FreeWAV(samples);
  return out;
}

// ALSA's library tells stderr of every step of not finding a sound card, eight lines a time,
// before SDL can say why in one. SDL loads it at run time; loaded here first, with its messages
// sent nowhere, it is the same library SDL then finds. Kept loaded for good, so that the quiet
// handler outlives SDL's unloading it between sounds.
void ignoreAlsa(const char*, int, const char*, int, const char*, ...) {}

void quietAlsa() {
  using Handler = decltype(&ignoreAlsa);
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
  auto setHandler = reinterpret_cast<int (*)(Handler)>(
      alsa != nullptr ? dlsym(alsa, "snd_lib_error_set_handler") : nullptr);
  if (setHandler != nullptr) {
    setHandler(ignoreAlsa);
  }
}

}  // namespace

Sound::Sound() : thread_(&Sound::run, this) {}

// SDL_Quit would shut the audio down under the thread's feet: the host ends the channel first.
Sound::~Sound() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void Sound::play(std::span<const std::uint8_t> wav) {
  std::vector<Uint8> samples = decodeWav(wav);
  {
    std::lock_guard lock(mutex_);
    next_ = std::move(samples);  // a sound not yet taken up is cut off before it starts
  }
  wake_.notify_one();
}

// Sleeps until a sound comes or the open device's sound is over; no timeout while it is closed,
// so an idle game has no thread that wakes. A sound that comes while the device closes waits
// for the close: SDL's audio start-up and shut-down share state that only one thread may touch.
void Sound::run() {
  std::unique_lock lock(mutex_);
  const auto called = [this] { return stopping_ || next_.has_value(); };
  for (;;) {
    if (closeAt_) {
      wake_.wait_until(lock, *closeAt_, called);
    } else {
      wake_.wait(lock, called);
    }
    if (stopping_) {
      break;
    }
    std::optional<std::vector<Uint8>> samples = std::exchange(next_, std::nullopt);
    lock.unlock();
    if (samples) {
      start(*samples);
    } else if (Uint32 queued = SDL_GetQueuedAudioSize(device_); queued > 0) {
      // The device may have started late (a busy machine): wait for what it still holds.
      closeAt_ = Clock::now() + playingTime(queued) + kTail;
    } else {
      closeDevice();
    }
    lock.lock();
  }
  lock.unlock();
  closeDevice();
  // Not SDL's own thread, so SDL never frees what it keeps for it: the text of its last error.
  SDL_TLSCleanup();
}

void Sound::start(const std::vector<Uint8>& samples) {
  // A sound that cannot be read still cuts off the one that plays: the newest call always wins,
  // if only with silence. With nothing playing, silence needs no device.
  if (samples.empty() && device_ == 0) {
    return;
  }
  // The first sound after a quiet spell waits here for the device to open: about 0.1 ms with
  // SDL's dummy driver, 0.1 to 0.8 ms with its disk driver, a few ms for a connection to
  // PulseAudio or PipeWire. The game goes on meanwhile. Shots in quick succession find the
  // device still open.
  if (!openDevice()) {
    return;
  }
  SDL_LockAudioDevice(device_);
  SDL_ClearQueuedAudio(device_);
  if (!samples.empty() &&
      SDL_QueueAudio(device_, samples.data(), static_cast<Uint32>(samples.size())) != 0) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "cannot play a sound: %s", SDL_GetError());
  }
  SDL_UnlockAudioDevice(device_);
  SDL_PauseAudioDevice(device_, 0);
  closeAt_ = Clock::now() + playingTime(SDL_GetQueuedAudioSize(device_)) + kTail;
}

// SDL's audio is started and shut down here rather than through SDL_InitSubSystem: the counts
// and hints behind that call belong to the game's thread.
bool Sound::tryOpen(const char* driver) {
  if (SDL_AudioInit(driver) != 0) {
    return false;
  }
  SDL_AudioSpec want{};
  want.freq = kRate;
  want.format = kFormat;
  want.channels = 1;
  want.samples = kBufferSamples;
  // No callback: the device plays what is queued, and silence when the queue is empty.
  SDL_AudioSpec got;
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &got, 0);
  if (device_ == 0) {
    SDL_AudioQuit();
    return false;
  }
  return true;
}

// The first time SDL picks the driver (SDL_AUDIODRIVER may name one); after that the one that
// worked goes first, so a machine without sound does not search for a device at every shot,
// and says so only once. SDL's dummy driver plays nothing but keeps every sound on the same
// path.
bool Sound::openDevice() {
  if (device_ != 0) {
    return true;
  }
  if (silent_) {
    return false;
  }
  if (driver_.empty()) {
    quietAlsa();
  }
  if (tryOpen(driver_.empty() ? nullptr : driver_.c_str())) {
    driver_ = SDL_GetCurrentAudioDriver();
    return true;
  }
  SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "no sound device, playing silently: %s",
              SDL_GetError());
  driver_ = "dummy";
  silent_ = !tryOpen("dummy");
  return !silent_;
}

void Sound::closeDevice() {
  if (device_ == 0) {
    return;
  }
  SDL_CloseAudioDevice(device_);
  // The whole of SDL's audio goes, not just the device: some drivers (ALSA) keep a thread of
  // their own that looks for new hardware ten times a second.
  SDL_AudioQuit();
  device_ = 0;
  closeAt_.reset();
}

}  // namespace platform::sdl
