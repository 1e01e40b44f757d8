// Scene node: boxes that follow transforms, corner order, the parent chain, copies, the rise.
#include "scene/scene_node.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include "box_world.h"
#include "gfx/model.h"

TEST(SceneNode, EightPointBoxFollowsTranslate) {
  SceneNode node = BoxNode({-1, -1, -1}, {1, 1, 1});
  EXPECT_EQ(node.minCorner, glm::vec3(-1, -1, -1));
  EXPECT_EQ(node.size, glm::vec3(2, 2, 2));
  EXPECT_EQ(node.transform, glm::mat4(1.0f));
  EXPECT_EQ(node.model, nullptr);

  const glm::mat4 returned = node.Translate({0, 3, 0});
  EXPECT_EQ(returned, node.transform);
  EXPECT_EQ(node.minCorner, glm::vec3(-1, 2, -1));
  EXPECT_EQ(node.size, glm::vec3(2, 2, 2));
}

TEST(SceneNode, PointsInAnyOrderGiveTheirExtent) {
  // The water volume's points: out of corner order, one repeated.
  const SceneNode node(std::array<glm::vec3, 8>{glm::vec3(-1, -0.5f, 1), glm::vec3(1, -0.5f, 1),
                                                glm::vec3(1, -0.5f, -1), glm::vec3(-1, -0.5f, 1),
                                                glm::vec3(1, -0.5f, -1), glm::vec3(-1, -0.5f, -1),
                                                glm::vec3(-1, -1, 1), glm::vec3(1, -1, 1)});
  EXPECT_EQ(node.minCorner, glm::vec3(-1, -1, -1));
  EXPECT_EQ(node.size, glm::vec3(2, 0.5f, 2));
}

TEST(SceneNode, RotatedBoxIsTheExtentOfTheTurnedCorners) {
  SceneNode quarter = BoxNode({0, 0, 0}, {2, 1, 1});
  quarter.Rotate(90.0f, {0, 1, 0});
  ExpectVec3Near(quarter.minCorner, {0, 0, -2}, 1e-5f);
  ExpectVec3Near(quarter.MaxCorner(), {1, 1, 0}, 1e-5f);

  // Between quarter turns the box grows; the axis need not be unit length.
  SceneNode eighth = BoxNode({0, 0, 0}, {2, 1, 1});
  eighth.Rotate(45.0f, {0, 5, 0});
  EXPECT_NEAR(eighth.size.x, 3.0f * std::sqrt(0.5f), 1e-5f);
  EXPECT_NEAR(eighth.size.z, 3.0f * std::sqrt(0.5f), 1e-5f);
}

TEST(SceneNode, TranslateAfterScaleMovesInTheScaledFrame) {
  SceneNode node = BoxNode({-1, -1, -1}, {1, 1, 1});
  node.Scale({0.5f, 0.5f, 0.5f});
  node.Translate({2, 0, 0});
  EXPECT_EQ(TranslationOf(node.transform), glm::vec3(1, 0, 0));
  EXPECT_EQ(node.minCorner, glm::vec3(0.5f, -0.5f, -0.5f));
  EXPECT_EQ(node.size, glm::vec3(1, 1, 1));
}

TEST(SceneNode, CornersKeepTheirOrderThroughTransforms) {
  const glm::vec3 lo(0, 1, 2), hi(3, 4, 5);
  const std::array<glm::vec3, 8> expected = {
      glm::vec3(0, 1, 2), glm::vec3(3, 1, 2), glm::vec3(3, 4, 2), glm::vec3(0, 4, 2),
      glm::vec3(0, 1, 5), glm::vec3(0, 4, 5), glm::vec3(3, 4, 5), glm::vec3(3, 1, 5)};
  EXPECT_EQ(BoxCorners(lo, hi), expected);

  SceneNode node(expected);
  node.Translate({10, 0, 0});
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(node.baseCorners[i], expected[i]) << i;
    EXPECT_EQ(node.corners[i], expected[i] + glm::vec3(10, 0, 0)) << i;
  }
}

TEST(SceneNode, WorldMatrixPutsEveryAncestorOnTheLeft) {
  SceneNode canoe = BoxNode({-1, -1, -1}, {1, 1, 1});
  SceneNode driver = canoe;
  SceneNode arms = canoe;
  canoe.Translate({3, 0, -2});
  canoe.Rotate(30.0f, {0, 1, 0});
  driver.Translate({0.5f, 0.2f, 0});  // not the identity: it must sit between the two
  driver.Rotate(10.0f, {1, 0, 0});
  arms.Translate({-0.1f, 0.48f, 0.02f});
  arms.Scale({0.7f, 0.7f, 0.7f});
  driver.parent = &canoe;
  arms.parent = &driver;

  EXPECT_EQ(WorldMatrix(&canoe), canoe.transform);
  EXPECT_EQ(WorldMatrix(&driver), canoe.transform * driver.transform);
  EXPECT_EQ(WorldMatrix(&arms), canoe.transform * driver.transform * arms.transform);
  // The arms' own box stays in the driver's frame.
  EXPECT_EQ(arms.minCorner, glm::vec3(glm::translate(glm::mat4(1.0f), {-0.1f, 0.48f, 0.02f}) *
                                      glm::vec4(-0.7f, -0.7f, -0.7f, 1.0f)));
}

TEST(SceneNode, CopiesShareLinksButNotTransforms) {
  Model model;
  SceneNode child, parent;
  SceneNode source(&model);
  source.child = &child;
  source.parent = &parent;
  source.hasChild = true;

  SceneNode copy = source;
  copy.Translate({1, 2, 3});
  EXPECT_EQ(source.transform, glm::mat4(1.0f));
  EXPECT_EQ(source.minCorner, glm::vec3(0.0f));
  EXPECT_EQ(copy.model, &model);
  EXPECT_EQ(copy.child, &child);
  EXPECT_EQ(copy.parent, &parent);
}

TEST(SceneNode, MissingOrEmptyModelGivesZeroBoxAtOrigin) {
  const Model empty;  // no meshes: what a failed import leaves
  for (const Model* model : {static_cast<const Model*>(nullptr), &empty}) {
    SceneNode node(model);
    EXPECT_EQ(node.model, model);
    EXPECT_EQ(node.minCorner, glm::vec3(0.0f));
    EXPECT_EQ(node.size, glm::vec3(0.0f));
    node.Translate({5, 1.8f, -2});
    EXPECT_EQ(node.minCorner, glm::vec3(5, 1.8f, -2));
  }
}

TEST(SceneNode, RiseStepClimbsPastTwoThenStartsTheFall) {
  SceneNode canoe = BoxNode({-1, 0, -1}, {1, 1, 1});
  canoe.rising = true;
  const float heights[] = {0.5f, 1.0f, 1.5f, 2.0f, 2.5f};  // the step from exactly 2 still rises
  for (float height : heights) {
    canoe.RiseStep(0.1f);
    EXPECT_FLOAT_EQ(canoe.riseHeight, height);
    EXPECT_NEAR(canoe.minCorner.y, height, 1e-5f);
    EXPECT_TRUE(canoe.rising);
    EXPECT_FALSE(canoe.falling);
  }
  const glm::mat4 top = canoe.transform;
  canoe.RiseStep(0.1f);
  EXPECT_EQ(canoe.transform, top);
  EXPECT_FALSE(canoe.rising);
  EXPECT_TRUE(canoe.falling);
  EXPECT_EQ(canoe.riseHeight, 0.0f);
}
