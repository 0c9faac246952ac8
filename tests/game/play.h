// A game of Vombrel on the headless host, for scenario tests that read like play:
//
//   Play game;
//   game.start();                 // a click on START
//   game.shootTarget();           // wait for the target to stand at its peak, then click it
//   EXPECT_EQ(game.score(), "10");
//
// Coordinates are window twips. Sounds are read back as the bank's ids.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/form1.h"
#include "assets/resources.h"
#include "platform/headless/headless_host.h"

// Whether two runs of bytes are the same; Emscripten's library has no std::ranges::equal.
inline bool sameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

class Play {
 public:
  // Points inside the three buttons on the grass.
  static constexpr double kStartX = 787, kStartY = 2850;
  static constexpr double kAboutX = 1987, kAboutY = 2850;
  static constexpr double kExitX = 3487, kExitY = 2835;
  // The pace of the target's rise and sink: one step per tick.
  static constexpr forms::Millis kTick = forms::Timer::kShortestPeriod;

  Play() { driver.load(); }

  headless::HeadlessHost host;
  Form1 form{host};
  headless::Driver driver{form, host};

  void start() { driver.click(kStartX, kStartY); }  // also STOP while a game runs
  void about() { driver.click(kAboutX, kAboutY); }

  std::string score() const { return form.Label1.Caption; }
  std::string level() const { return form.Label4.Caption; }
  std::string counter() const { return form.Label8.Caption; }
  bool running() const { return form.Label6.Caption == "STOP"; }
  bool targetMoving() const { return form.Timer2.Enabled || form.Timer3.Enabled; }

  // Runs the game 10 ms at a time until the target stands at its peak (Top 1020), wholly above
  // the fence; false if that does not happen within `limitMs`.
  bool waitForPeak(forms::Millis limitMs = 5000) {
    const forms::Millis end = host.now() + limitMs;
    while (host.now() < end) {
      if (targetMoving() && form.Image2.Top == 1020)
        return true;
      driver.advance(10);
    }
    return false;
  }

  // Clicks the target near its lower edge, below anywhere the bonus bird can fly.
  void clickTarget() { driver.click(form.Image2.Left + 270, form.Image2.Top + 400); }
  void doubleClickTarget() { driver.doubleClick(form.Image2.Left + 270, form.Image2.Top + 400); }

  void shootTarget() {
    ASSERT_TRUE(waitForPeak());
    clickTarget();
  }

  // Whether a control shows the picture of that name from the game's resources.
  static bool shows(const forms::Picture& p, assets::Pic id) {
    return !p.empty() && sameBytes(p.data()->bytes, assets::picture(id));
  }

  // The ids of every sound played so far, in order.
  std::vector<int> soundIds() const {
    std::vector<int> ids;
    for (const auto& bytes : host.sounds())
      ids.push_back(idOf(bytes));
    return ids;
  }
  std::vector<int> soundsSince(size_t from) const {
    std::vector<int> all = soundIds();
    return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
  }
  size_t soundCount() const { return host.sounds().size(); }

 private:
  static int idOf(const std::vector<std::uint8_t>& bytes) {
    for (int id : {1, 2, 3, 4, 5, 6, 7, 9}) {
      auto res = assets::find(assets::kSoundType, id);
      if (res && std::equal(res->begin(), res->end(), bytes.begin(), bytes.end()))
        return id;
    }
    return -1;
  }
};
