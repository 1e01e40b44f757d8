// Frame timing with a scripted clock: deltaTime 0 on the first pass, and the countdown using
// the previous frame's duration.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/frame_loop.h"
#include "app/game.h"

namespace {

// A clock that returns one scripted reading per frame and records the hook order.
struct ScriptedClock {
  std::vector<double> readings;
  size_t next = 0;
  std::vector<char> calls;
};

FrameHooks HooksFor(ScriptedClock& clock) {
  FrameHooks hooks;
  hooks.user = &clock;
  hooks.pollEvents = [](void* u) { static_cast<ScriptedClock*>(u)->calls.push_back('p'); };
  hooks.now = [](void* u) {
    auto* c = static_cast<ScriptedClock*>(u);
    c->calls.push_back('t');
    return c->readings[c->next++];
  };
  hooks.render = [](void* u) { static_cast<ScriptedClock*>(u)->calls.push_back('r'); };
  hooks.swapBuffers = [](void* u) { static_cast<ScriptedClock*>(u)->calls.push_back('s'); };
  return hooks;
}

}  // namespace

TEST(FrameClock, FirstPassHasZeroDeltaThenDifferences) {
  FrameClock clock;
  UpdateFrameClock(clock, 3.5f);
  EXPECT_EQ(clock.deltaTime, 0.0f);
  EXPECT_EQ(clock.lastFrame, 3.5f);
  UpdateFrameClock(clock, 3.75f);
  EXPECT_FLOAT_EQ(clock.deltaTime, 0.25f);
  EXPECT_EQ(clock.currentFrame, 3.75f);
  EXPECT_EQ(clock.lastFrame, 3.75f);
}

TEST(FrameLoop, StepsRunInOrderAndCountdownLagsOneFrame) {
  auto game = std::make_unique<Game>();
  ScriptedClock clock;
  clock.readings = {1.0, 1.02, 1.04, 1.06};
  const FrameHooks hooks = HooksFor(clock);

  RunFrame(*game, hooks);  // first pass: nothing moves
  EXPECT_EQ(game->clock.deltaTime, 0.0f);
  EXPECT_EQ(game->state.timeLeft, 90.0f);
  RunFrame(*game, hooks);  // countdown still uses the first pass's 0
  EXPECT_EQ(game->state.timeLeft, 90.0f);
  EXPECT_NEAR(game->clock.deltaTime, 0.02f, 1e-5f);
  RunFrame(*game, hooks);  // now the previous 0.02 s is taken off
  EXPECT_NEAR(game->state.timeLeft, 89.98f, 1e-4f);

  const std::vector<char> expected = {'p', 't', 'r', 's', 'p', 't', 'r', 's', 'p', 't', 'r', 's'};
  EXPECT_EQ(clock.calls, expected);
}
