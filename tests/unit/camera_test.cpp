// Camera: start axes, mouse look with the pitch clamp, wheel zoom, seat view and projection.
#include "scene/camera.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include "box_world.h"

TEST(Camera, StartsAtItsPlaceWithDerivedAxes) {
  const Camera camera;
  EXPECT_EQ(camera.position, glm::vec3(8, 4, 8));
  EXPECT_EQ(camera.yaw, -130.0f);
  EXPECT_EQ(camera.pitch, -10.0f);
  EXPECT_EQ(camera.zoom, 45.0f);
  ExpectVec3Near(camera.front, {-0.6330f, -0.1736f, -0.7544f}, 1e-4f);
  ExpectVec3Near(camera.right, {0.7660f, 0.0f, -0.6428f}, 1e-4f);
  ExpectVec3Near(camera.up, {-0.1116f, 0.9848f, -0.1330f}, 1e-4f);
}

TEST(Camera, LookClampsPitchButNeverWrapsYaw) {
  Camera camera;
  camera.Look(0.0f, 1000.0f);
  EXPECT_EQ(camera.pitch, 89.0f);
  EXPECT_EQ(camera.yaw, -130.0f);
  camera.Look(8.0f, -1000.0f);
  EXPECT_EQ(camera.pitch, -89.0f);
  EXPECT_EQ(camera.yaw, -128.0f);

  Camera spun;
  spun.Look(4 * 360 * 4, 0.0f);  // four more full turns: same axes, yaw kept at 1310
  EXPECT_EQ(spun.yaw, 1310.0f);
  ExpectVec3Near(spun.front, Camera().front, 1e-4f);
}

TEST(Camera, ZoomIsClampedAfterTheStep) {
  struct Case {
    float zoom, wheel, expected;
  } const cases[] = {{45.0f, 1.0f, 44.0f},
                     {45.0f, -1.0f, 45.0f},
                     {1.5f, 2.0f, 1.0f},
                     {1.0f, -1.0f, 2.0f},
                     {20.0f, 0.5f, 19.5f}};
  for (const Case& c : cases) {
    Camera camera;
    camera.zoom = c.zoom;
    camera.ZoomBy(c.wheel);
    EXPECT_EQ(camera.zoom, c.expected) << c.zoom << " " << c.wheel;
  }
}

TEST(Camera, SeatViewRidesBehindAndAboveTheSeat) {
  const View seat = SeatView(glm::mat4(1.0f));
  ExpectVec3Near(seat.eye, {-3.4168f, 2.3077f, 0.0f}, 1e-4f);
  const glm::vec3 look = glm::vec3(glm::inverse(seat.matrix) * glm::vec4(0, 0, -1, 0));
  ExpectVec3Near(look, {0.9397f, -0.3420f, 0.0f}, 1e-4f);

  // The seat moves and turns with the canoe.
  glm::mat4 canoe = glm::translate(glm::mat4(1.0f), glm::vec3(10, -0.2f, 3));
  canoe = glm::rotate(canoe, 90.0f * kDegToRad, glm::vec3(0, 1, 0));
  ExpectVec3Near(SeatView(canoe).eye, glm::vec3(canoe * glm::vec4(-3.4168f, 2.3077f, 0, 1)), 1e-3f);
}

TEST(Camera, ViewSelectionAndProjection) {
  Camera camera;
  camera.position = {1, 2, 3};
  const View free = SelectView(camera, false, glm::mat4(1.0f));
  EXPECT_EQ(free.matrix, camera.ViewMatrix());
  EXPECT_EQ(free.eye, camera.position);
  EXPECT_EQ(SelectView(camera, true, glm::mat4(1.0f)).matrix, SeatView(glm::mat4(1.0f)).matrix);

  EXPECT_EQ(SceneProjection(45.0f, 1280, 720),
            glm::perspective(0.7853982f, 1280.0f / 720.0f, 0.1f, 150.0f));
}
