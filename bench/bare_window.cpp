// The reference the process benchmark holds the game against: a bare SDL2 window of the game's
// size, made with the same settings as the game's host (no framebuffer acceleration on X, the
// software renderer), that clears and presents once and then sleeps until it is closed.
//
//   bare_window                       draws once, then waits for events
//   bare_window --redraw-every-55ms   redraws every 55 ms, the pace of the game's target
#include <SDL.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr Uint64 kPeriod = 55;  // ms: the step of the game's rising and sinking target

void draw(SDL_Renderer* renderer) {
  SDL_SetRenderDrawColor(renderer, 127, 216, 255, 255);
  SDL_RenderClear(renderer);
  SDL_RenderPresent(renderer);
}

}  // namespace

int main(int argc, char** argv) {
  bool redraw = argc > 1 && std::strcmp(argv[1], "--redraw-every-55ms") == 0;
  if (argc > 1 && !redraw) {
    std::fprintf(stderr, "usage: bare_window [--redraw-every-55ms]\n");
    return 2;
  }

  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
    return 1;
  }
  // As the game: no GPU on X, SDL's own texture on Wayland, which has no other way.
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }
  SDL_Window* window = SDL_CreateWindow("bare SDL2 window", SDL_WINDOWPOS_UNDEFINED,
                                        SDL_WINDOWPOS_UNDEFINED, 304, 213, 0);
  SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
  if (renderer == nullptr) {
    std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  draw(renderer);

  Uint64 next = SDL_GetTicks64() + kPeriod;
  for (bool running = true; running;) {
    SDL_Event event;
    int got = 0;
    if (redraw) {
      Uint64 now = SDL_GetTicks64();
      got = SDL_WaitEventTimeout(&event, now < next ? static_cast<int>(next - now) : 0);
    } else {
      got = SDL_WaitEvent(&event);
    }
    if (got != 0 && event.type == SDL_QUIT) {
      running = false;
    }
    if (Uint64 now = SDL_GetTicks64(); redraw && now >= next) {
      draw(renderer);
      next = next + kPeriod > now ? next + kPeriod
                                  : now + kPeriod;  // late: keep the pace, skip the backlog
    }
  }
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
