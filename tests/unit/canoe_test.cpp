// Canoe control: speeds at any frame rate, turning, collision undo, jumping and landing.
#include "scene/canoe.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "box_world.h"

namespace {

struct Keys {
  bool state[KeyCount] = {};
  Keys(std::initializer_list<int> held) {
    for (int key : held) state[key] = true;
  }
};

// Hold the keys for `seconds` at `fps` frames per second.
void Hold(World& world, Camera& camera, const Keys& keys, int fps, float seconds) {
  const float dt = 1.0f / static_cast<float>(fps);
  const int frames = static_cast<int>(std::lround(seconds * static_cast<float>(fps)));
  for (int i = 0; i < frames; ++i) ProcessCanoeInput(world, camera, keys.state, dt);
}

// Bottom of the canoe's box after the jump has played out at 60 frames per second.
void RunJump(World& world) {
  for (int frame = 0; frame < 600 && (world.canoeNode.rising || world.canoeNode.falling); ++frame) {
    if (world.canoeNode.rising) world.canoeNode.RiseStep(1.0f / 60.0f);
    if (world.canoeNode.falling) CanoeFallStep(world, 1.0f / 60.0f);
  }
}

// Drop the canoe from height `bottom` at (x, z) until it lands.
void DropCanoeAt(World& world, float x, float bottom, float z) {
  SceneNode& canoe = world.canoeNode;
  canoe.Translate({x, bottom - canoe.minCorner.y, z});
  canoe.falling = true;
  RunJump(world);
}

class CanoeTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildBoxWorld(world); }
  World world;
  Camera camera;
};

}  // namespace

TEST(CanoeOverlaps, ClosedBoxesTouchingCountsAsOverlap) {
  const SceneNode canoe = BoxNode({0, 0, 0}, {2, 1, 1});
  struct Case {
    const char* name;
    glm::vec3 lo, hi;
    bool overlaps;
  } const cases[] = {
      {"inside", {0.5f, 0.2f, 0.2f}, {1, 0.5f, 0.5f}, true},
      {"shares +x face", {2, 0, 0}, {3, 1, 1}, true},
      {"shares -y face (resting on top)", {0, -1, 0}, {2, 0, 1}, true},
      {"shares one corner", {2, 1, 1}, {3, 2, 2}, true},
      {"apart on +x", {2.001f, 0, 0}, {3, 1, 1}, false},
      {"apart on -x", {-1, 0, 0}, {-0.001f, 1, 1}, false},
      {"apart on +y", {0, 1.001f, 0}, {2, 2, 1}, false},
      {"apart on -y", {0, -1, 0}, {2, -0.001f, 1}, false},
      {"apart on +z", {0, 0, 1.001f}, {2, 1, 2}, false},
      {"apart on -z", {0, 0, -1}, {2, 1, -0.001f}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CanoeOverlaps(canoe, BoxNode(c.lo, c.hi)), c.overlaps) << c.name;
  }
}

TEST_F(CanoeTest, SpeedsAreTheSameAtEveryFrameRate) {
  struct Case {
    std::initializer_list<int> keys;
    float distance;
  } const cases[] = {
      {{GLFW_KEY_W}, 3.0f},
      {{GLFW_KEY_W, GLFW_KEY_LEFT_SHIFT}, 6.0f},
      {{GLFW_KEY_W, GLFW_KEY_RIGHT_SHIFT}, 3.0f},  // the right Shift does nothing
      {{GLFW_KEY_S}, -3.0f},
      {{GLFW_KEY_S, GLFW_KEY_LEFT_SHIFT}, -6.0f},
      {{GLFW_KEY_W, GLFW_KEY_S}, 0.0f},
  };
  for (int fps : {30, 60, 144}) {
    for (const Case& c : cases) {
      World clear;
      BuildBoxWorld(clear);
      clear.canoeNode.Translate({0, 0, 10});  // open water, away from the cube and the ducks
      const float start = clear.canoeNode.transform[3].x;
      Hold(clear, camera, Keys(c.keys), fps, 1.0f);
      EXPECT_NEAR(clear.canoeNode.transform[3].x - start, c.distance, 1e-4f) << fps << " fps";
      EXPECT_NEAR(clear.canoeNode.transform[3].z, 10.0f, 1e-6f);
    }
  }
}

TEST_F(CanoeTest, TurnsAboutTheVerticalAndDrivesAlongTheBow) {
  struct Case {
    std::initializer_list<int> keys;
    float degrees;
  } const cases[] = {
      {{GLFW_KEY_A}, 50.0f},
      {{GLFW_KEY_D}, -50.0f},
      {{GLFW_KEY_A, GLFW_KEY_LEFT_SHIFT}, 100.0f},
      {{GLFW_KEY_D, GLFW_KEY_LEFT_SHIFT}, -100.0f},
      {{GLFW_KEY_A, GLFW_KEY_D}, 0.0f},
  };
  for (const Case& c : cases) {
    World turning;
    BuildBoxWorld(turning);
    Hold(turning, camera, Keys(c.keys), 60, 1.0f);
    EXPECT_NEAR(YawDegrees(turning.canoeNode.transform), c.degrees, 1e-3f);
    EXPECT_NEAR(turning.canoeNode.minCorner.y, -0.5f, 1e-5f);
  }

  // A quarter turn left points the bow at -z; W then drives that way.
  world.canoeNode.Translate({-10, 0, 0});
  world.canoeNode.Rotate(90.0f, {0, 1, 0});
  Hold(world, camera, Keys({GLFW_KEY_W}), 60, 1.0f);
  ExpectVec3Near(TranslationOf(world.canoeNode.transform), {-10, -0.2f, -3}, 1e-3f);
}

TEST_F(CanoeTest, ArrowKeysMoveTheCameraBeforeTheCanoe) {
  const Camera start;
  const float dt = 0.5f;  // 1.5 units at speed 3
  struct Case {
    Keys keys;
    float alongFront, alongRight;
  } const cases[] = {
      {Keys({GLFW_KEY_UP, GLFW_KEY_RIGHT}), 1.5f, 1.5f},
      {Keys({GLFW_KEY_DOWN, GLFW_KEY_LEFT}), -1.5f, -1.5f},
  };
  for (const Case& c : cases) {
    Camera moved;
    ProcessCanoeInput(world, moved, c.keys.state, dt);
    ExpectVec3Near(moved.position,
                   start.position + start.front * c.alongFront + start.right * c.alongRight, 1e-6f);
    EXPECT_EQ(world.canoeNode.transform[3].x, 0.0f);
  }
}

TEST_F(CanoeTest, DrivingIntoTheCubeStopsWhereTheFrameStarted) {
  const Keys forward({GLFW_KEY_W});
  const float cubeFace = world.obstacles[0].minCorner.x;  // 4.5
  float before = 0.0f;
  for (int frame = 0; frame < 120; ++frame) {
    before = world.canoeNode.transform[3].x;
    ProcessCanoeInput(world, camera, forward.state, 1.0f / 60.0f);
    EXPECT_FALSE(CanoeOverlaps(world.canoeNode, world.obstacles[0]));
  }
  // Stopped short of the face, less than one frame's travel away from it.
  EXPECT_EQ(world.canoeNode.transform[3].x, before);
  EXPECT_LT(world.canoeNode.MaxCorner().x, cubeFace);
  EXPECT_GE(world.canoeNode.MaxCorner().x + 0.05f, cubeFace - 1e-5f);
}

TEST_F(CanoeTest, ACollisionUndoesEveryMoveOfTheFrameSoFar) {
  const float dt = 1.0f / 60.0f;
  const Keys driveAndTurn({GLFW_KEY_W, GLFW_KEY_A});

  // W alone stops 3 mm short of the cube, but the turn that follows swings a corner into it:
  // both the move and the turn are undone.
  world.canoeNode.Translate({4.5f - 0.003f - 0.05f - 1.75f, 0, 0});
  const glm::mat4 frameStart = world.canoeNode.transform;
  ProcessCanoeInput(world, camera, driveAndTurn.state, dt);
  EXPECT_EQ(world.canoeNode.transform, frameStart);

  // When W itself hits, the turn is still tried from the restored place, and kept.
  World near;
  BuildBoxWorld(near);
  near.canoeNode.Translate({4.5f - 0.01f - 1.75f, 0, 0});
  const glm::vec3 place = TranslationOf(near.canoeNode.transform);
  ProcessCanoeInput(near, camera, driveAndTurn.state, dt);
  EXPECT_EQ(TranslationOf(near.canoeNode.transform), place);
  EXPECT_NEAR(YawDegrees(near.canoeNode.transform), 50.0f * dt, 1e-4f);
}

TEST_F(CanoeTest, PoolWallsStopTheCanoe) {
  struct Case {
    glm::vec3 start;
    float turnDegrees;
  } const cases[] = {{{44, 0, 10}, 0.0f},     // bow toward x+
                     {{-44, 0, 10}, 180.0f},  // bow toward x-
                     {{0, 0, -44}, 90.0f},    // bow toward z-
                     {{10, 0, 44}, -90.0f}};  // bow toward z+
  for (const Case& c : cases) {
    World pool;
    BuildBoxWorld(pool);
    pool.canoeNode.Translate(c.start);
    pool.canoeNode.Rotate(c.turnDegrees, {0, 1, 0});
    Hold(pool, camera, Keys({GLFW_KEY_W, GLFW_KEY_LEFT_SHIFT}), 60, 2.0f);
    const glm::vec3 lo = pool.canoeNode.minCorner, hi = pool.canoeNode.MaxCorner();
    EXPECT_TRUE(lo.x > -49 && hi.x < 49 && lo.z > -49 && hi.z < 49) << c.turnDegrees;
    EXPECT_TRUE(lo.x < -48.8f || hi.x > 48.8f || lo.z < -48.8f || hi.z > 48.8f) << c.turnDegrees;
  }
}

TEST_F(CanoeTest, JumpFromTheWaterLandsBackOnIt) {
  SceneNode& canoe = world.canoeNode;
  canoe.rising = true;
  float highest = canoe.minCorner.y;
  for (int frame = 0; frame < 600 && (canoe.rising || canoe.falling); ++frame) {
    if (canoe.rising) canoe.RiseStep(1.0f / 60.0f);
    if (canoe.falling) CanoeFallStep(world, 1.0f / 60.0f);
    highest = std::max(highest, canoe.minCorner.y);
  }
  EXPECT_FALSE(canoe.rising || canoe.falling);
  EXPECT_GT(highest, -0.5f + 2.0f);
  EXPECT_NEAR(canoe.minCorner.y, -0.5f, 1e-5f);
}

TEST_F(CanoeTest, FallsOntoTheTopItMeets) {
  struct Case {
    const char* name;
    float x, z, bottom, frameSeconds, landing;
  } const cases[] = {
      {"platform, not the water below", 5, -2, 3.0f, 1.0f / 60.0f, 1.0f},
      {"cube", 5, 0, 2.0f, 1.0f / 60.0f, 0.25f},
      {"open water", 0, 10, 2.0f, 1.0f / 60.0f, -0.5f},
      // One long frame drops through the cube into the water: the water landing is followed
      // by the obstacle test, which puts the canoe onto the cube's top.
      {"long frame beside the cube", 5, 0, 0.5f, 0.25f, 0.25f},
      // A 0.3 s frame just above the water drops 1.8 units, past the whole water volume: the
      // canoe still lands on the surface instead of falling forever.
      {"long frame through the water", 0, 10, 0.0f, 0.3f, -0.5f},
      {"long frame through the water, then beside the cube", 5, 0, 0.0f, 0.3f, 0.25f},
  };
  for (const Case& c : cases) {
    World drop;
    BuildBoxWorld(drop);
    SceneNode& canoe = drop.canoeNode;
    canoe.Translate({c.x, c.bottom - canoe.minCorner.y, c.z});
    canoe.falling = true;
    for (int frame = 0; frame < 600 && canoe.falling; ++frame) {
      CanoeFallStep(drop, c.frameSeconds);
    }
    EXPECT_FALSE(canoe.falling) << c.name;
    EXPECT_NEAR(canoe.minCorner.y, c.landing, 1e-5f) << c.name;
  }
}

TEST_F(CanoeTest, RestingOnATopFaceBlocksDrivingUntilAJump) {
  DropCanoeAt(world, 5, 2.0f, 0);
  SceneNode& canoe = world.canoeNode;
  ASSERT_NEAR(canoe.minCorner.y, 0.25f, 1e-5f);
  EXPECT_TRUE(CanoeOverlaps(canoe, world.obstacles[0]));

  const glm::mat4 landed = canoe.transform;
  Hold(world, camera, Keys({GLFW_KEY_W}), 60, 0.5f);
  EXPECT_EQ(canoe.transform, landed);

  // In the air it steers freely and can leave the cube.
  canoe.rising = true;
  const Keys forward({GLFW_KEY_W, GLFW_KEY_LEFT_SHIFT});
  for (int frame = 0; frame < 600 && (canoe.rising || canoe.falling); ++frame) {
    ProcessCanoeInput(world, camera, forward.state, 1.0f / 60.0f);
    if (canoe.rising) canoe.RiseStep(1.0f / 60.0f);
    if (canoe.falling) CanoeFallStep(world, 1.0f / 60.0f);
  }
  EXPECT_GT(canoe.minCorner.x, world.obstacles[0].MaxCorner().x);
  EXPECT_NEAR(canoe.minCorner.y, -0.5f, 1e-5f);
}
