// The scene's factor and place on the screen; see scale.h.
#include "platform/desktop/scale.h"

#include <algorithm>

namespace platform::desktop {

int fittingFactor(Size scene, Size area) {
  if (scene.width <= 0 || scene.height <= 0) {
    return 1;
  }
  return std::max(1, std::min(area.width / scene.width, area.height / scene.height));
}

int defaultFactor(Size scene, Size usable, int desktopFactor) {
  int comfortable = fittingFactor(scene, {usable.width / 2, usable.height / 2});
  return std::min(std::max(comfortable, desktopFactor), fittingFactor(scene, usable));
}

Size clientRoom(Size usable, Frame frame) {
  return {std::max(0, usable.width - frame.left - frame.right),
          std::max(0, usable.height - frame.top - frame.bottom)};
}

// One axis of keepCentre: the centre kept, then pushed back inside [lo, lo + room), the start
// winning when the window is longer than the room.
static int keepCentreOn(int wasStart, int wasLength, int length, int lo, int room) {
  int start = wasStart + (wasLength - length) / 2;
  return std::max(lo, std::min(start, lo + room - length));
}

Rect keepCentre(Rect was, Size size, Rect usable) {
  return {keepCentreOn(was.x, was.width, size.width, usable.x, usable.width),
          keepCentreOn(was.y, was.height, size.height, usable.y, usable.height), size.width,
          size.height};
}

ScenePoint View::toScene(int clientX, int clientY) const {
  int dx = clientX - scene.x, dy = clientY - scene.y;
  bool inside = dx >= 0 && dy >= 0 && dx < scene.width && dy < scene.height;
  return {static_cast<double>(dx) / factor, static_cast<double>(dy) / factor, inside};
}

Rect View::toClient(Rect r) const {
  return {scene.x + r.x * factor, scene.y + r.y * factor, r.width * factor, r.height * factor};
}

forms::WindowRect View::windowTwips(Rect r) const {
  const double t = twipsPerPixel();
  return {r.x * t, r.y * t, r.width * t, r.height * t};
}

forms::ScreenInfo View::screenTwips(Size screen) const {
  const double t = twipsPerPixel();
  return {screen.width * t, screen.height * t, t, t};
}

View windowView(Size scene, int factor) {
  factor = std::max(1, factor);
  Size client{scene.width * factor, scene.height * factor};
  return {factor, {0, 0, client.width, client.height}, client};
}

View fullscreenView(Size scene, Size screen) {
  return centredView(scene, screen, fittingFactor(scene, screen));
}

View centredView(Size scene, Size client, int factor) {
  int k = std::clamp(factor, 1, fittingFactor(scene, client));
  int w = scene.width * k, h = scene.height * k;
  return {k, {(client.width - w) / 2, (client.height - h) / 2, w, h}, client};
}

}  // namespace platform::desktop
