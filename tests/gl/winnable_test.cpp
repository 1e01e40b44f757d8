// The game can be won at any frame rate: the autopilot, playing through the real key handling
// and the real frame sequence, collects all fifteen ducks (the one above the platform too)
// before the time runs out, at steady 30, 60 and 144 frames per second and at a seeded uneven
// mix of frame times. Drawing costs tens of milliseconds a frame here, so only the frames in
// which the canoe's box could reach a duck's are drawn (every duck must be collected by the real
// scene drawing, as in the game); the others run the render step's game rules without drawing.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <random>
#include <string>

#include "autopilot.h"
#include "render_play.h"
#include "scene/game_rules.h"

namespace {

// Gap between two boxes (0 when they touch or overlap).
float BoxGap(const SceneNode& a, const SceneNode& b) {
  const glm::vec3 d =
      glm::max(glm::max(b.minCorner - a.MaxCorner(), a.minCorner - b.MaxCorner()), glm::vec3(0.0f));
  return glm::length(d);
}

struct FrameRate {
  const char* name;
  double frameSeconds;  // 0: uneven, drawn from [1/200, 1/15] s with a fixed seed
};

void PrintTo(const FrameRate& rate, std::ostream* os) {
  *os << rate.name;
}

class Winnable : public ::testing::TestWithParam<FrameRate> {};

TEST_P(Winnable, AutopilotCollectsEveryDuckBeforeTheTimeRunsOut) {
  if (!HaveGameAssets()) GTEST_SKIP() << "game assets missing";
  const FrameRate rate = GetParam();
  auto play = StartPlay(160, 90, rate.frameSeconds);
  PlayGuard guard{play.get()};
  ScriptedPlay& p = *play;
  Autopilot pilot;
  PlanAutopilot(pilot, p.game);
  ASSERT_EQ(pilot.orderCount, DuckCount);
  ASSERT_GE(pilot.highDuck, 0) << "no duck above the platform";

  std::mt19937 random(1207);
  std::uniform_real_distribution<double> uneven(1.0 / 200.0, 1.0 / 15.0);
  const double start = p.clock;
  double won = -1.0;
  int drawnFrames = 0, collectedUndrawn = 0;
  const long maxFrames = 95 * 200;  // past the 90 s at the fastest frame rate
  while (p.frameIndex < maxFrames && !p.game.state.gameOver) {
    if (rate.frameSeconds == 0.0) p.options.frameSeconds = uneven(random);
    // Twice the farthest the canoe's box can move this frame: paddling and turning by the last
    // frame's time, the jump by this one's.
    const double reach =
        2.0 * (p.game.clock.deltaTime * (6.0 + 3.5) + p.options.frameSeconds * 6.0);
    p.options.draw = false;
    for (int i = 0; i < DuckCount; ++i) {
      if (p.game.state.duckAlive[i] &&
          BoxGap(p.game.world.canoeNode, p.game.world.ducks[i]) < reach + 0.05) {
        p.options.draw = true;
      }
    }
    drawnFrames += p.options.draw ? 1 : 0;
    const int before = p.game.state.ducksCollected;
    const double now = p.clock;
    SteerAutopilot(pilot, p);
    RunScriptedFrames(p, 1);
    if (!p.options.draw) collectedUndrawn += p.game.state.ducksCollected - before;
    if (p.game.state.ducksCollected == DuckCount && won < 0.0) won = now - start;
    const SceneNode& canoe = p.game.world.canoeNode;
    const glm::vec3 lo = canoe.minCorner, hi = canoe.MaxCorner();
    ASSERT_TRUE(lo.x > -50.0f && hi.x < 50.0f && lo.z > -50.0f && hi.z < 50.0f &&
                lo.y >= -0.5f - 1e-3f)
        << "left the pool at frame " << p.frameIndex << ": x " << lo.x << ".." << hi.x << ", y "
        << lo.y << ", z " << lo.z << ".." << hi.z;
  }
  // One more frame, drawn: the first frame after the end shows only "GAME OVER".
  p.options.draw = true;
  RunScriptedFrames(p, 1);
  GameState shown = p.game.state;
  const HudLines hud = BuildHudLines(shown, false, 0.0f, 160, 90);

  EXPECT_EQ(p.game.state.ducksCollected, DuckCount) << "time left " << p.game.state.timeLeft;
  EXPECT_EQ(collectedUndrawn, 0) << "ducks collected outside the scene drawing";
  EXPECT_TRUE(p.game.state.gameOver);
  EXPECT_GT(p.game.state.timeLeft, 0.0f);
  ASSERT_EQ(hud.count, 2);
  EXPECT_EQ(hud.lines[0].text, "GAME OVER");
  EXPECT_EQ(hud.lines[1].text, "0 duck(s) left!!!");
  std::printf("%s: all ducks in %.2f s of game time (%ld frames, %d drawn), %.2f s left\n",
              rate.name, won, p.frameIndex, drawnFrames, p.game.state.timeLeft);
  RecordProperty("seconds_to_win", std::to_string(won));
}

INSTANTIATE_TEST_SUITE_P(FrameRates, Winnable,
                         ::testing::Values(FrameRate{"fps30", 1.0 / 30.0},
                                           FrameRate{"fps60", 1.0 / 60.0},
                                           FrameRate{"fps144", 1.0 / 144.0},
                                           FrameRate{"uneven", 0.0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
