// box_world.h: a world of box-only nodes with the sizes of the game's models, built through
// the same construction steps as start-up, so scene and rule tests need no GL.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <glm/glm.hpp>

#include "scene/scene_node.h"
#include "scene/world.h"

inline SceneNode BoxNode(glm::vec3 lo, glm::vec3 hi) {
  return SceneNode(BoxCorners(lo, hi));
}

// Canoe 3.5 x 0.6 x 0.8 around its seat; unit cube; 2 x 2 platform with its top at 1; walls
// 2 thick spanning the pool; a duck floating with its waterline at -0.5.
inline WorldPrototypes BoxPrototypes() {
  WorldPrototypes p;
  p.duck = BoxNode({-0.3f, -0.2f, -0.2f}, {0.3f, 0.4f, 0.2f});
  p.canoe = BoxNode({-1.75f, -0.3f, -0.4f}, {1.75f, 0.3f, 0.4f});
  p.driver = BoxNode({-0.3f, -0.1f, -0.25f}, {0.5f, 0.9f, 0.25f});
  p.driverArms = BoxNode({-0.1f, -1.0f, -0.3f}, {0.6f, 0.1f, 0.3f});
  p.cube = BoxNode({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f});
  p.platform2 = BoxNode({-1.0f, -1.5f, -1.0f}, {1.0f, 1.0f, 1.0f});
  p.pool2 = BoxNode({-52.0f, -1.6f, -1.0f}, {52.0f, 3.5f, 1.0f});
  p.pool3 = BoxNode({-1.0f, -1.6f, -52.0f}, {1.0f, 3.5f, 52.0f});
  p.budman = BoxNode({-3.0f, -1.5f, -2.0f}, {3.0f, 20.0f, 2.0f});
  return p;
}

// Every world step of start-up, in its order.
inline void BuildBoxWorld(World& world) {
  BuildSceneNodes(world, BoxPrototypes());
  BuildWaterVolume(world);
  ScaleGroundAndWater(world);
  SetArmsStartPose(world);
}

inline glm::vec3 TranslationOf(const glm::mat4& m) {
  return glm::vec3(m[3]);
}

// Heading of a node turned about +y only, in the game's degrees (positive = left turn).
inline float YawDegrees(const glm::mat4& m) {
  return std::atan2(-m[0][2], m[0][0]) / kDegToRad;
}

// Angle of a node turned about +z only, in the game's degrees.
inline float RollDegrees(const glm::mat4& m) {
  return std::atan2(m[0][1], m[0][0]) / kDegToRad;
}

inline void ExpectVec3Near(glm::vec3 actual, glm::vec3 expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}
