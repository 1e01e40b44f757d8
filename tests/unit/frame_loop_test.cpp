// Scripted play: whole frames through RunFrame with a scripted clock and key table, and a
// render step that collects ducks in drawing order and builds the HUD like the real one.
#include "app/frame_loop.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/game.h"
#include "box_world.h"

namespace {

struct ScriptedPlay {
  Game game;
  double clock = 1.0;  // a clock reading of exactly 0 would read as "no previous frame"
  double frameSeconds = 0.02;
  std::function<void(Game&)> onPoll;  // runs inside the event step
  HudLines hud;                       // what the last frame's overlay drew

  ScriptedPlay() {
    MarkAllDucksPresent(game.state);
    BuildBoxWorld(game.world);
    ResetPaddle(game.state);
  }

  void Frame() {
    FrameHooks hooks;
    hooks.user = this;
    hooks.pollEvents = [](void* user) {
      auto* play = static_cast<ScriptedPlay*>(user);
      if (play->onPoll) play->onPoll(play->game);
    };
    hooks.now = [](void* user) {
      auto* play = static_cast<ScriptedPlay*>(user);
      const double now = play->clock;
      play->clock += play->frameSeconds;
      return now;
    };
    hooks.render = [](void* user) {
      auto* play = static_cast<ScriptedPlay*>(user);
      Game& g = play->game;
      for (int pass = 0; pass < 3; ++pass) {  // shadow, scene and reflection drawings
        for (int i = 0; i < DuckCount; ++i) CollectDuckIfTouched(g.state, g.world, i);
      }
      play->hud = BuildHudLines(g.state, g.input.showFrameTime, g.clock.deltaTime, g.screenWidth,
                                g.screenHeight);
    };
    RunFrame(game, hooks);
  }

  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }

  std::vector<std::string> HudTexts() const {
    std::vector<std::string> texts;
    for (int i = 0; i < hud.count; ++i) texts.push_back(hud.lines[i].text);
    return texts;
  }

  void Hold(int key) { game.input.keyState[key] = true; }
  float CanoeX() const { return game.world.canoeNode.transform[3].x; }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(ScriptedPlay, FirstFrameMovesNothingAndShowsTheStart) {
  auto play = std::make_unique<ScriptedPlay>();
  play->Hold(GLFW_KEY_W);
  const glm::mat4 arms = play->game.world.armsNode.transform;
  play->Frame();
  EXPECT_EQ(play->HudTexts(), (Lines{"90 seconds remain", "15 duck(s) left!!!"}));
  EXPECT_EQ(play->CanoeX(), 0.0f);
  EXPECT_EQ(play->game.world.armsNode.transform, arms);

  // Second frame: the arms use this frame's time, the keyboard still the previous (zero) one.
  play->Frame();
  EXPECT_EQ(play->CanoeX(), 0.0f);
  EXPECT_NE(play->game.world.armsNode.transform, arms);
  play->Frame();
  EXPECT_NEAR(play->CanoeX(), 0.06f, 1e-5f);
}

TEST(ScriptedPlay, SteadyFiftyFramesASecond) {
  auto play = std::make_unique<ScriptedPlay>();
  play->game.input.showFrameTime = true;
  play->Hold(GLFW_KEY_W);
  play->game.world.canoeNode.Translate({0, 0, 10});  // open water
  // The keyboard steps of the first two frames see the first frame's time, which is zero.
  play->Frames(52);
  EXPECT_NEAR(play->CanoeX(), 3.0f, 1e-3f);
  EXPECT_EQ(play->hud.lines[1].text, "0.020000 s/Frame");
  EXPECT_EQ(play->HudTexts()[0], "89 seconds remain");
}

TEST(ScriptedPlay, DuckAtTheStartIsCollectedInTheFirstFrame) {
  auto play = std::make_unique<ScriptedPlay>();
  play->game.world.ducks[7] = BoxNode({-0.3f, -0.8f, -0.2f}, {0.3f, -0.2f, 0.2f});
  play->Frame();
  EXPECT_FALSE(play->game.state.duckAlive[7]);
  EXPECT_EQ(play->game.state.ducksCollected, 1);
  EXPECT_EQ(play->HudTexts(), (Lines{"90 seconds remain", "14 duck(s) left!!!"}));
}

TEST(ScriptedPlay, FifteenthDuckEndsTheGameThatFrame) {
  auto play = std::make_unique<ScriptedPlay>();
  GameState& state = play->game.state;
  for (int i = 0; i < DuckCount; ++i) state.duckAlive[i] = (i == 9);
  state.ducksCollected = DuckCount - 1;
  play->game.world.canoeNode.Translate({0, 0, 10});
  play->game.world.ducks[9] = BoxNode({3.0f, -0.8f, 9.8f}, {3.6f, -0.2f, 10.2f});
  play->Hold(GLFW_KEY_W);

  int frame = 0;
  while (!state.gameOver && frame < 200) {
    play->Frame();
    ++frame;
  }
  ASSERT_TRUE(state.gameOver);
  EXPECT_EQ(state.ducksCollected, DuckCount);
  const std::string seconds = std::to_string(state.secondsShown) + " seconds remain";
  EXPECT_EQ(play->HudTexts(), (Lines{seconds, "GAME OVER", "0 duck(s) left!!!"}));

  const float stoppedAt = play->CanoeX();
  const float timeLeft = state.timeLeft;
  play->Frames(5);
  EXPECT_EQ(play->HudTexts(), (Lines{"GAME OVER", "0 duck(s) left!!!"}));
  EXPECT_EQ(play->CanoeX(), stoppedAt);
  EXPECT_LT(state.timeLeft, timeLeft);  // the countdown runs on unseen
}

TEST(ScriptedPlay, LongFrameOverTheEndOfTimeEndsTheGame) {
  auto play = std::make_unique<ScriptedPlay>();
  play->Frames(2);
  play->frameSeconds = 0.7;
  play->Frame();  // the next frame measures 0.7 s
  play->game.state.timeLeft = 0.6f;
  play->Frame();  // counts down the previous 0.02 s
  EXPECT_EQ(play->HudTexts(), (Lines{"1 seconds remain", "15 duck(s) left!!!"}));
  play->Frame();  // from 0.58 straight to -0.12
  EXPECT_EQ(play->HudTexts(), (Lines{"0 seconds remain", "GAME OVER", "15 duck(s) left!!!"}));
  EXPECT_TRUE(play->game.state.gameOver);
}

TEST(ScriptedPlay, AfterGameOverKeysDoNothingButAJumpFinishes) {
  auto play = std::make_unique<ScriptedPlay>();
  Game& game = play->game;
  game.state.gameOver = true;
  play->Hold(GLFW_KEY_W);
  play->Hold(GLFW_KEY_A);
  play->Hold(GLFW_KEY_UP);
  play->onPoll = [](Game& g) {
    HandleKey(g, GLFW_KEY_SPACE, GLFW_PRESS);  // only the first press starts a jump
    HandleKey(g, GLFW_KEY_SPACE, GLFW_RELEASE);
  };
  const glm::vec3 camera = game.camera.position;
  const glm::mat4 arms = game.world.armsNode.transform;

  play->Frames(2);
  ASSERT_TRUE(game.world.canoeNode.rising);
  play->onPoll = nullptr;
  play->Frames(100);
  EXPECT_FALSE(game.world.canoeNode.rising || game.world.canoeNode.falling);
  EXPECT_NEAR(game.world.canoeNode.minCorner.y, -0.5f, 1e-5f);
  EXPECT_EQ(play->CanoeX(), 0.0f);
  EXPECT_NEAR(YawDegrees(game.world.canoeNode.transform), 0.0f, 0.0f);
  EXPECT_EQ(game.camera.position, camera);
  EXPECT_NE(game.world.armsNode.transform, arms);  // the driver keeps paddling
}
