// The matrices the render passes derive: the light's, the sky box's and the reflection
// camera's.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "render/pass_math.h"

namespace {

void ExpectNear(glm::vec3 actual, glm::vec3 expected, float tolerance = 1e-3f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

SceneNode BoxNode(glm::vec3 lo, glm::vec3 hi) {
  SceneNode node;
  node.minCorner = lo;
  node.size = hi - lo;
  return node;
}

TEST(RenderPassMath, ReflectionCameraRidesUnderTheCanoeLookingUp) {
  // Identity canoe, box centred at height 0 (h = 0): eye and view direction from the layout.
  const View v = ReflectionView(BoxNode(glm::vec3(-1.0f), glm::vec3(1.0f)));
  ExpectNear(v.eye, glm::vec3(-3.2457f, -2.7776f, 0.0f));
  const glm::vec3 forward = -glm::vec3(glm::inverse(v.matrix)[2]);
  ExpectNear(forward, glm::vec3(0.9397f, 0.3420f, 0.0f));

  // h = twice the box centre's height moves the eye down by h.
  const View lifted = ReflectionView(BoxNode(glm::vec3(-1.0f, 0.0f, -1.0f), glm::vec3(1.0f)));
  ExpectNear(lifted.eye, v.eye - glm::vec3(0.0f, 1.0f, 0.0f));

  // It follows the canoe's transform, whatever view the player has chosen.
  SceneNode moved = BoxNode(glm::vec3(-1.0f), glm::vec3(1.0f));
  moved.transform = glm::translate(glm::mat4(1.0f), glm::vec3(10.0f, 0.0f, 5.0f));
  ExpectNear(ReflectionView(moved).eye, v.eye + glm::vec3(10.0f, 0.0f, 5.0f));
}

TEST(RenderPassMath, SkyboxViewKeepsOnlyTheRotation) {
  const glm::mat4 view = glm::lookAt(glm::vec3(3.0f, 4.0f, 5.0f), glm::vec3(0.0f, 1.0f, 0.0f),
                                     glm::vec3(0.0f, 1.0f, 0.0f));
  const glm::mat4 sky = SkyboxViewOf(view);
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < 3; ++r) EXPECT_FLOAT_EQ(sky[c][r], view[c][r]);
    EXPECT_FLOAT_EQ(sky[c][3], 0.0f);
    EXPECT_FLOAT_EQ(sky[3][c], 0.0f);
  }
  EXPECT_FLOAT_EQ(sky[3][3], 1.0f);
}

// The light's box reaches from 10 units behind the light to 100 in front of it: the pool's
// far corner and the statue lie past its far plane and neither cast nor receive shadows.
TEST(RenderPassMath, LightBoxDepthRange) {
  const LightMatrices light = ComputeLightMatrices(glm::vec3(50.0f, 10.0f, 50.0f));
  EXPECT_EQ(light.lightSpaceMatrix, light.projection * light.view);
  struct Case {
    glm::vec3 point;
    bool inside;
  };
  const Case cases[] = {
      {{0.0f, 0.0f, 0.0f}, true},       {{-15.0f, -1.5f, -15.0f}, true},
      {{40.0f, -1.5f, 0.0f}, true},     {{50.0f, 3.5f, 50.0f}, true},
      {{60.0f, 12.0f, 60.0f}, false},    // more than 10 units behind the light
      {{-50.0f, -1.5f, -50.0f}, false},  // more than 100 units in front of it
      {{0.0f, 18.0f, -70.0f}, false},
  };
  for (const Case& c : cases) {
    const glm::vec4 p = light.lightSpaceMatrix * glm::vec4(c.point, 1.0f);
    const bool inside = std::abs(p.x) <= 1.0f && std::abs(p.y) <= 1.0f && std::abs(p.z) <= 1.0f;
    EXPECT_EQ(inside, c.inside) << c.point.x << ", " << c.point.y << ", " << c.point.z;
  }
}

}  // namespace
