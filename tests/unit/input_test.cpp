// Key, cursor and scroll handling: press-edge toggles, held keys, jump start, mouse priming.
#include "app/input.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <memory>

#include "app/game.h"

namespace {

std::unique_ptr<Game> FreshGame() {
  return std::make_unique<Game>();
}

}  // namespace

TEST(Input, TogglesFlipOnPressEdgeOnly) {
  struct Toggle {
    int key;
    bool (*read)(const Game&);
    bool start;
  };
  const Toggle toggles[] = {
      {GLFW_KEY_F2, [](const Game& g) { return g.input.showFrameTime; }, false},
      {GLFW_KEY_F3, [](const Game& g) { return g.input.wireframe; }, false},
      {GLFW_KEY_F6, [](const Game& g) { return g.seatView; }, true},
      {GLFW_KEY_F7, [](const Game& g) { return g.input.shadowsEnabled; }, true},
  };
  for (const Toggle& t : toggles) {
    SCOPED_TRACE(t.key);
    auto game = FreshGame();
    EXPECT_EQ(t.read(*game), t.start);
    EXPECT_FALSE(HandleKey(*game, t.key, GLFW_PRESS));
    EXPECT_TRUE(game->input.keyState[t.key]);
    EXPECT_EQ(t.read(*game), !t.start);
    for (int i = 0; i < 5; ++i) HandleKey(*game, t.key, GLFW_REPEAT);  // held: no more flips
    EXPECT_EQ(t.read(*game), !t.start);
    HandleKey(*game, t.key, GLFW_RELEASE);
    EXPECT_FALSE(game->input.keyState[t.key]);
    EXPECT_EQ(t.read(*game), !t.start);
    HandleKey(*game, t.key, GLFW_PRESS);
    EXPECT_EQ(t.read(*game), t.start);
  }
}

TEST(Input, HeldKeysAreRecordedAndReleased) {
  auto game = FreshGame();
  for (int key : {GLFW_KEY_W, GLFW_KEY_A, GLFW_KEY_LEFT_SHIFT, GLFW_KEY_UP, GLFW_KEY_LAST}) {
    HandleKey(*game, key, GLFW_PRESS);
    EXPECT_TRUE(game->input.keyState[key]) << key;
    HandleKey(*game, key, GLFW_REPEAT);
    EXPECT_TRUE(game->input.keyState[key]) << key;
    HandleKey(*game, key, GLFW_RELEASE);
    EXPECT_FALSE(game->input.keyState[key]) << key;
  }
}

TEST(Input, OutOfRangeKeyCodesChangeNothing) {
  auto game = FreshGame();
  for (int key : {GLFW_KEY_UNKNOWN, -1000, KeyCount, 5000}) {
    EXPECT_FALSE(HandleKey(*game, key, GLFW_PRESS));
    EXPECT_FALSE(HandleKey(*game, key, GLFW_RELEASE));
  }
  for (bool held : game->input.keyState) EXPECT_FALSE(held);
}

TEST(Input, EscapeRequestsCloseAndIsMarkedHeld) {
  auto game = FreshGame();
  EXPECT_TRUE(HandleKey(*game, GLFW_KEY_ESCAPE, GLFW_PRESS));
  EXPECT_TRUE(game->input.keyState[GLFW_KEY_ESCAPE]);
  EXPECT_FALSE(HandleKey(*game, GLFW_KEY_ESCAPE, GLFW_REPEAT));
  EXPECT_FALSE(HandleKey(*game, GLFW_KEY_ESCAPE, GLFW_RELEASE));
  EXPECT_FALSE(game->input.keyState[GLFW_KEY_ESCAPE]);
}

TEST(Input, SpaceStartsAJumpOnlyFromRest) {
  auto game = FreshGame();
  SceneNode& canoe = game->world.canoeNode;
  canoe.riseHeight = 0.7f;
  HandleKey(*game, GLFW_KEY_SPACE, GLFW_PRESS);
  EXPECT_TRUE(game->input.keyState[GLFW_KEY_SPACE]);
  EXPECT_TRUE(canoe.rising);
  EXPECT_EQ(canoe.riseHeight, 0.0f);

  // While rising or falling, Space is recorded but changes nothing else.
  canoe.riseHeight = 1.25f;
  HandleKey(*game, GLFW_KEY_SPACE, GLFW_RELEASE);
  HandleKey(*game, GLFW_KEY_SPACE, GLFW_PRESS);
  EXPECT_TRUE(canoe.rising);
  EXPECT_EQ(canoe.riseHeight, 1.25f);

  canoe.rising = false;
  canoe.falling = true;
  HandleKey(*game, GLFW_KEY_SPACE, GLFW_PRESS);
  EXPECT_FALSE(canoe.rising);
  EXPECT_TRUE(canoe.falling);
  EXPECT_EQ(canoe.riseHeight, 1.25f);
}

TEST(Input, FirstCursorEventOnlyPrimesThenOffsetsTurnTheCamera) {
  auto game = FreshGame();
  const float yaw = game->camera.yaw;
  const float pitch = game->camera.pitch;
  HandleCursorPos(*game, 500.0, 200.0);
  EXPECT_FALSE(game->input.firstMouse);
  EXPECT_FLOAT_EQ(game->camera.yaw, yaw);
  EXPECT_FLOAT_EQ(game->camera.pitch, pitch);
  EXPECT_FLOAT_EQ(game->input.lastX, 500.0f);
  EXPECT_FLOAT_EQ(game->input.lastY, 200.0f);

  HandleCursorPos(*game, 510.0, 196.0);  // 10 px right, 4 px up
  EXPECT_FLOAT_EQ(game->camera.yaw, yaw + 2.5f);
  EXPECT_FLOAT_EQ(game->camera.pitch, pitch + 1.0f);
}

TEST(Input, ScrollZoomsAndIgnoresHorizontalOffset) {
  auto game = FreshGame();
  HandleScroll(*game, 7.0, 1.0);
  EXPECT_FLOAT_EQ(game->camera.zoom, 44.0f);
  HandleScroll(*game, -3.0, 0.0);
  EXPECT_FLOAT_EQ(game->camera.zoom, 44.0f);
  HandleScroll(*game, 0.0, -5.0);
  EXPECT_FLOAT_EQ(game->camera.zoom, 45.0f);
}
