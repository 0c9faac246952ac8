// The headless test host and its driver (see headless_host.h).
#include "platform/headless/headless_host.h"

#include <cmath>

namespace headless {

float HeadlessHost::Rnd() {
  if (scriptedRnd_.empty())
    return random_.next();
  float r = scriptedRnd_.front();
  scriptedRnd_.pop_front();
  return r;
}

void HeadlessHost::queueRnd(std::vector<float> values) {
  scriptedRnd_.insert(scriptedRnd_.end(), values.begin(), values.end());
}

forms::TextExtent HeadlessHost::measureText(const forms::Font& font, std::string_view utf8) const {
  int codePoints = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
      ++codePoints;  // skip continuation bytes
  }
  int advance = static_cast<int>(std::lround(font.pixelSize * 6.0 / 11.0)) + (font.bold ? 1 : 0);
  return {codePoints * advance, font.pixelSize + 2};
}

platform::Status HeadlessHost::open(const platform::WindowSetup& setup) {
  if (setup_)
    return {"the window is already open"};
  setup_ = setup;
  return {};
}

platform::HostEvent HeadlessHost::wait(std::optional<forms::Millis> deadline) {
  if (!events_.empty()) {
    platform::HostEvent e = std::move(events_.front());
    events_.pop_front();
    return e;
  }
  if (!deadline)
    return platform::CloseRequest{};
  if (*deadline > now_)
    now_ = *deadline;
  return platform::Timeout{};
}

void HeadlessHost::render(const forms::Frame& frame) {
  lastFrame_ = frame;
  ++renders_;
}

void HeadlessHost::playSound(std::span<const std::uint8_t> wav) {
  sounds_.emplace_back(wav.begin(), wav.end());
}

void HeadlessHost::messageBox(const std::string& title, const std::string& text) {
  boxes_.push_back({title, text});
}

platform::Status Driver::load() {
  platform::Status started = session_.start();
  session_.step();
  return started;
}

void Driver::send(forms::MouseInput::Type type, double x, double y, int button, int shift,
                  bool doubleClick) {
  forms::MouseInput in;
  in.type = type;
  in.button = button;
  in.shift = shift;
  in.x = x / forms::kTwipsPerPixel;
  in.y = y / forms::kTwipsPerPixel;
  in.doubleClick = doubleClick;
  session_.handle(in);
  session_.step();
}

void Driver::move(double x, double y) {
  send(forms::MouseInput::Type::Move, x, y, 1, 0);
}

void Driver::press(double x, double y, int button, int shift) {
  send(forms::MouseInput::Type::Down, x, y, button, shift);
}

void Driver::release(double x, double y, int button, int shift) {
  send(forms::MouseInput::Type::Up, x, y, button, shift);
}

void Driver::click(double x, double y, int button, int shift) {
  press(x, y, button, shift);
  release(x, y, button, shift);
}

void Driver::doubleClick(double x, double y, int button, int shift) {
  click(x, y, button, shift);
  send(forms::MouseInput::Type::Down, x, y, button, shift, true);
  release(x, y, button, shift);
}

void Driver::advanceTo(forms::Millis ms) {
  // Jump from deadline to deadline: every due timer runs at the moment it is due.
  for (auto due = form_.nextTimerDue(); due && *due <= ms; due = form_.nextTimerDue()) {
    if (*due > host_.now())
      host_.setNow(*due);
    session_.step();
  }
  if (ms > host_.now())
    host_.setNow(ms);
  session_.step();
}

void Driver::expose() {
  session_.handle(platform::Exposed{});
  session_.step();
}

void Driver::close() {
  session_.handle(platform::CloseRequest{});
  session_.step();
}

}  // namespace headless
