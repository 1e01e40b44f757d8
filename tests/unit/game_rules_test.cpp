// Game rules: countdown, HUD lines and layout, game over, duck collection, paddling.
#include "scene/game_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box_world.h"

namespace {

std::vector<std::string> Texts(const HudLines& hud) {
  std::vector<std::string> texts;
  for (int i = 0; i < hud.count; ++i) texts.push_back(hud.lines[i].text);
  return texts;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(Countdown, ShowsTheNearestWholeSecond) {
  struct Case {
    const char* name;
    float frame;  // seconds per frame
    int frames;
    int shown;
  } const cases[] = {
      {"first frame", 0.0f, 1, 90},
      {"10.4 s of play", 0.02f, 520, 80},
      {"10.6 s of play", 0.02f, 530, 79},
      {"89.5 s of play: last half second", 0.5f, 179, 1},
      {"a quarter second left", 0.25f, 359, 0},
  };
  for (const Case& c : cases) {
    GameState state;
    for (int i = 0; i < c.frames; ++i) CountdownStep(state, c.frame);
    EXPECT_EQ(state.secondsShown, c.shown) << c.name << " timeLeft " << state.timeLeft;
  }
}

TEST(Countdown, OneLongFrameOverTheEndStillEndsTheGame) {
  GameState state;
  state.timeLeft = 0.6f;
  CountdownStep(state, 0.0f);
  ASSERT_EQ(state.secondsShown, 1);
  CountdownStep(state, 0.7f);  // straight from 0.6 to -0.1
  EXPECT_EQ(state.secondsShown, 0);
  EXPECT_EQ(Texts(BuildHudLines(state, false, 0.7f, 1280, 720)),
            (Lines{"0 seconds remain", "GAME OVER", "15 duck(s) left!!!"}));
  EXPECT_TRUE(state.gameOver);
}

TEST(Hud, LinesAtTheStartAndWithTheFrameTime) {
  GameState state;
  EXPECT_EQ(Texts(BuildHudLines(state, false, 0.0f, 1280, 720)),
            (Lines{"90 seconds remain", "15 duck(s) left!!!"}));
  EXPECT_FALSE(state.gameOver);
  EXPECT_EQ(Texts(BuildHudLines(state, true, 1.0f / 60.0f, 1280, 720)),
            (Lines{"90 seconds remain", "0.016667 s/Frame", "15 duck(s) left!!!"}));
  EXPECT_EQ(FormatFrameTime(0.02f), "0.020000 s/Frame");
}

TEST(Hud, LayoutFollowsTheWindowWidth) {
  struct Case {
    unsigned width, height;
    float x, topY, frameY, bottomY, topScale, bottomScale;
  } const cases[] = {
      {1280, 720, 25, 688, 128, 25, 0.42666668f, 0.85333335f},
      {800, 600, 16, 580, 80, 16, 0.26666668f, 0.53333336f},
      {1366, 768, 27, 734, 136, 27, 1366 / 3000.0f, 1366 / 1500.0f},  // truncated places
  };
  for (const Case& c : cases) {
    GameState state;
    state.secondsShown = 0;  // all four lines
    const HudLines hud = BuildHudLines(state, true, 0.02f, c.width, c.height);
    ASSERT_EQ(hud.count, 4);
    const float ys[] = {c.topY, c.topY, c.frameY, c.bottomY};
    const float scales[] = {c.topScale, c.topScale, c.bottomScale, c.bottomScale};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(hud.lines[i].x, c.x) << c.width << " line " << i;
      EXPECT_EQ(hud.lines[i].y, ys[i]) << c.width << " line " << i;
      EXPECT_EQ(hud.lines[i].scale, scales[i]) << c.width << " line " << i;
    }
  }
}

TEST(Hud, LastDuckEndsTheGameOnThatFrame) {
  GameState state;
  state.secondsShown = 42;
  state.ducksCollected = DuckCount;
  EXPECT_EQ(Texts(BuildHudLines(state, false, 0.02f, 1280, 720)),
            (Lines{"42 seconds remain", "GAME OVER", "0 duck(s) left!!!"}));
  EXPECT_TRUE(state.gameOver);
  EXPECT_EQ(Texts(BuildHudLines(state, false, 0.02f, 1280, 720)),
            (Lines{"GAME OVER", "0 duck(s) left!!!"}));
}

TEST(Ducks, ATouchedDuckIsCollectedOnce) {
  World world;
  BuildBoxWorld(world);
  GameState state;
  MarkAllDucksPresent(state);
  // Duck 3 touches the canoe's bow face exactly; duck 4 is 1 mm beyond it.
  const float bow = world.canoeNode.MaxCorner().x;
  world.ducks[3] = BoxNode({bow, -0.8f, -0.2f}, {bow + 0.6f, -0.2f, 0.2f});
  world.ducks[4] = BoxNode({bow + 0.001f, -0.8f, -0.2f}, {bow + 0.6f, -0.2f, 0.2f});

  EXPECT_TRUE(CollectDuckIfTouched(state, world, 3));
  EXPECT_FALSE(state.duckAlive[3]);
  EXPECT_FALSE(CollectDuckIfTouched(state, world, 3));  // counted once
  EXPECT_FALSE(CollectDuckIfTouched(state, world, 4));
  EXPECT_TRUE(state.duckAlive[4]);
  EXPECT_FALSE(CollectDuckIfTouched(state, world, DuckCount));  // no such duck
  EXPECT_EQ(state.ducksCollected, 1);
}

TEST(Paddle, HalfStrokesTurnBackTheirOvershoot) {
  GameState state;
  SceneNode arms = BoxNode({0, -1, 0}, {0.2f, 0, 0.2f});
  const float perFrame = -60.0f * kDegToRad;  // about -1.0472 degrees at 50 frames a second
  for (int frame = 1; frame <= 41; ++frame) PaddleStep(state, arms, 0.02f);
  EXPECT_NEAR(RollDegrees(arms.transform), 41 * perFrame, 1e-4f);
  EXPECT_EQ(state.paddleStroke, 2460.0f);

  PaddleStep(state, arms, 0.02f);  // reaches 2520: 20 units are turned back
  EXPECT_NEAR(RollDegrees(arms.transform), 42 * perFrame + 20 * kDegToRad, 1e-4f);
  EXPECT_NEAR(RollDegrees(arms.transform), -2500 * kDegToRad, 1e-4f);
  EXPECT_EQ(state.paddleSpeed, 60.0f);
  EXPECT_EQ(state.paddleStroke, 0.0f);

  PaddleStep(state, arms, 0.02f);
  EXPECT_NEAR(RollDegrees(arms.transform), -2500 * kDegToRad - perFrame, 1e-4f);
}

TEST(Paddle, AHalfStrokeIsTheSameAngleAtAnyFrameRate) {
  for (float fps : {30.0f, 60.0f, 144.0f}) {
    GameState state;
    SceneNode arms = BoxNode({0, -1, 0}, {0.2f, 0, 0.2f});
    int frames = 0;
    while (state.paddleSpeed < 0.0f) {
      PaddleStep(state, arms, 1.0f / fps);
      ++frames;
    }
    EXPECT_NEAR(RollDegrees(arms.transform), -2500 * kDegToRad, 1e-3f) << fps;
    EXPECT_NEAR(frames / fps, 2500.0f / 60.0f * 0.02f, 2.0f / fps) << fps;
  }
}
