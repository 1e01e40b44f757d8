// The game world built from the real models, played through the real frame sequence: the canoe
// starts clear on the water, a jump beside the platform lands on it, the duck above the
// platform is reached only by jumping, no duck lies in a wall, and the driver's paddle dips
// into the water beside the hull.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>

#include "app/frame_loop.h"
#include "app/game.h"
#include "app/input.h"
#include "assets_real_models.h"
#include "scene/canoe.h"
#include "scene/game_rules.h"

namespace {

constexpr float kWaterY = -0.5f;

std::unique_ptr<Game> RealGame() {
  auto game = std::make_unique<Game>();
  MarkAllDucksPresent(game->state);
  BuildSceneNodes(game->world, WorldModelsOf(*LoadRealModels().models));
  BuildWaterVolume(game->world);
  ScaleGroundAndWater(game->world);
  SetArmsStartPose(game->world);
  ResetPaddle(game->state);
  return game;
}

// Runs frames of 1/60 s through the game's frame sequence; the render step only does what
// drawing does to the rules (collect touched ducks).
struct Player {
  Game& game;
  double clock = 1.0;

  static double Now(void* user) { return static_cast<Player*>(user)->clock += 1.0 / 60.0; }
  static void Render(void* user) {
    Game& g = static_cast<Player*>(user)->game;
    for (int i = 0; i < DuckCount; ++i)
      if (g.state.duckAlive[i]) CollectDuckIfTouched(g.state, g.world, i);
  }
  void Frames(int count) {
    FrameHooks hooks;
    hooks.user = this;
    hooks.now = &Now;
    hooks.render = &Render;
    for (int i = 0; i < count; ++i) RunFrame(game, hooks);
  }
  bool Airborne() const { return game.world.canoeNode.rising || game.world.canoeNode.falling; }
  // Space, then frames until the canoe has landed again (at most 5 s).
  void Jump() {
    HandleKey(game, GLFW_KEY_SPACE, GLFW_PRESS);
    HandleKey(game, GLFW_KEY_SPACE, GLFW_RELEASE);
    ASSERT_TRUE(Airborne());
    for (int i = 0; i < 300 && Airborne(); ++i) Frames(1);
    ASSERT_FALSE(Airborne());
  }
};

bool Overlap(const SceneNode& a, const SceneNode& b) {
  return CanoeOverlaps(a, b);
}

std::array<const SceneNode*, 4> Walls(const World& w) {
  return {&w.poolWallZNeg, &w.poolWallZPos, &w.poolWallXPos, &w.poolWallXNeg};
}

}  // namespace

TEST(AssetWorld, CanoeStartsOnTheWaterClearOfObstaclesAndWalls) {
  auto game = RealGame();
  const World& w = game->world;
  EXPECT_NEAR(w.canoeNode.minCorner.y, kWaterY, 1e-5f);
  for (const SceneNode& obstacle : w.obstacles) EXPECT_FALSE(Overlap(w.canoeNode, obstacle));
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(Overlap(w.canoeNode, *Walls(w)[i])) << "wall " << i;
  // The driver sits inside the hull and does not poke through its bottom.
  const SceneNode driver = [&] {
    SceneNode d = w.driverNode;
    d.transform = WorldMatrix(&w.driverNode);
    d.UpdateBounds();
    return d;
  }();
  EXPECT_GE(driver.minCorner.y, w.canoeNode.minCorner.y);
  EXPECT_GE(driver.minCorner.z, w.canoeNode.minCorner.z);
  EXPECT_LE(driver.MaxCorner().z, w.canoeNode.MaxCorner().z);
}

TEST(AssetWorld, NoJumpClearsTheWalls) {
  // The highest the canoe's bottom gets: a jump from the platform, rising a little over 2 with
  // a long frame's step on top. The walls' boxes reach higher, so every wall stops the canoe.
  auto game = RealGame();
  const World& w = game->world;
  const float highestBottom = w.obstacles[1].MaxCorner().y + 2.0f + 5.0f * 0.1f;
  for (int i = 0; i < 4; ++i) {
    const SceneNode& wall = *Walls(w)[i];
    EXPECT_GT(wall.MaxCorner().y, highestBottom) << "wall " << i;
    EXPECT_LT(wall.minCorner.y, w.waterVolume.minCorner.y) << "wall " << i;
  }
  // The walls close the water on every side.
  EXPECT_LE(w.poolWallZNeg.minCorner.x, -50.0f);
  EXPECT_GE(w.poolWallZNeg.MaxCorner().x, 50.0f);
  EXPECT_LE(w.poolWallXPos.minCorner.z, -50.0f);
  EXPECT_GE(w.poolWallXPos.MaxCorner().z, 50.0f);
}

TEST(AssetWorld, AJumpBesideThePlatformLandsOnIt) {
  auto game = RealGame();
  World& w = game->world;
  const SceneNode& platform = w.obstacles[1];
  // Put the canoe on the water just short of the platform's west face, bow towards it.
  const float gap = 0.1f;
  w.canoeNode.Translate({platform.minCorner.x - gap - w.canoeNode.MaxCorner().x, 0.0f, -2.0f});
  ASSERT_FALSE(Overlap(w.canoeNode, platform));
  ASSERT_FALSE(Overlap(w.canoeNode, w.obstacles[0]));

  Player player{*game};
  player.Frames(1);
  game->input.keyState[GLFW_KEY_W] = true;  // hold W through the jump
  player.Jump();
  EXPECT_NEAR(w.canoeNode.minCorner.y, platform.MaxCorner().y, 1e-4f) << "landed on the top";
  EXPECT_GT(w.canoeNode.MaxCorner().x, platform.minCorner.x);
}

TEST(AssetWorld, ThePlatformDuckIsReachedOnlyByJumping) {
  auto game = RealGame();
  World& w = game->world;
  const SceneNode& platform = w.obstacles[1];
  const SceneNode& duck = w.ducks[0];
  // Rest the canoe on the platform, right under the duck.
  w.canoeNode.Translate({5.0f, platform.MaxCorner().y - w.canoeNode.minCorner.y, -2.0f});
  ASSERT_NEAR(w.canoeNode.minCorner.y, platform.MaxCorner().y, 1e-4f);
  EXPECT_LT(w.canoeNode.MaxCorner().y, duck.minCorner.y) << "resting on the platform misses it";

  Player player{*game};
  player.Frames(60);
  EXPECT_TRUE(game->state.duckAlive[0]);
  player.Jump();
  EXPECT_FALSE(game->state.duckAlive[0]) << "a jump from the platform collects it";
  EXPECT_NEAR(w.canoeNode.minCorner.y, platform.MaxCorner().y, 1e-4f) << "and lands back on top";
}

TEST(AssetWorld, DucksFloatInThePoolNotInAWall) {
  auto game = RealGame();
  const World& w = game->world;
  for (int i = 0; i < DuckCount; ++i) {
    SCOPED_TRACE("duck " + std::to_string(i));
    const SceneNode& duck = w.ducks[i];
    for (int k = 0; k < 4; ++k) EXPECT_FALSE(Overlap(duck, *Walls(w)[k])) << "wall " << k;
    if (i == 0) continue;  // the one above the platform
    // The water line cuts the duck between a third and two thirds of its height.
    const float above = (duck.MaxCorner().y - kWaterY) / duck.size.y;
    EXPECT_GT(above, 0.33f);
    EXPECT_LT(above, 0.67f);
  }
  // The statue stands outside the pool, towering over the far wall.
  EXPECT_LT(w.budmanNode.MaxCorner().z, w.poolWallZNeg.minCorner.z);
  EXPECT_GT(w.budmanNode.MaxCorner().y, w.poolWallZNeg.MaxCorner().y + 8.0f);
}

TEST(AssetWorld, PaddleDipsIntoTheWaterBesideTheHull) {
  auto game = RealGame();
  World& w = game->world;
  const Model& arms = LoadRealModels().models->driverArmsModel;
  const float halfBeam = w.canoeNode.size.z * 0.5f;
  const float canoeZ = w.canoeNode.minCorner.z + halfBeam;
  // At the start pose and at the other end of the stroke (-26.18 degrees).
  for (float turn : {0.0f, -43.633232f}) {
    SCOPED_TRACE("turned by " + std::to_string(turn));
    w.armsNode.Rotate(turn, {0, 0, 1});
    const std::vector<glm::vec3> points = PositionsOf(arms, WorldMatrix(&w.armsNode));
    float lowest = 1e9f;
    int wet = 0, insideHull = 0;
    for (const glm::vec3& p : points) {
      lowest = std::min(lowest, p.y);
      if (p.y < kWaterY) {
        ++wet;
        if (std::fabs(p.z - canoeZ) < halfBeam) ++insideHull;
      }
    }
    EXPECT_LT(lowest, kWaterY - 0.05f) << "the blade reaches into the water";
    EXPECT_GT(lowest, -1.5f) << "but not through the pool floor";
    EXPECT_GT(wet, 10);
    EXPECT_EQ(insideHull, 0) << "the wet part of the paddle stays outside the hull";
  }
}
