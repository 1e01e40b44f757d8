// World: construction order and places, the duck layout, the water volume and ground plane.
#include "scene/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <glm/gtc/matrix_transform.hpp>

#include "box_world.h"
#include "scene/pool_random.h"

TEST(World, CanoeRestsOnTheWaterInsideItsChain) {
  World world;
  BuildBoxWorld(world);
  EXPECT_NEAR(world.canoeNode.minCorner.y, -0.5f, 1e-6f);
  EXPECT_EQ(world.canoeNode.child, &world.driverNode);
  EXPECT_TRUE(world.canoeNode.hasChild);
  EXPECT_EQ(world.canoeNode.parent, nullptr);
  EXPECT_EQ(world.driverNode.parent, &world.canoeNode);
  EXPECT_EQ(world.driverNode.child, &world.armsNode);
  EXPECT_TRUE(world.driverNode.hasChild);
  EXPECT_EQ(world.armsNode.parent, &world.driverNode);
  EXPECT_FALSE(world.armsNode.hasChild);
  EXPECT_EQ(world.driverNode.transform, glm::mat4(1.0f));

  // Arms at start: shoulder offset, scale 0.7, then the 17.453293-degree start pose about z.
  glm::mat4 arms = glm::translate(glm::mat4(1.0f), glm::vec3(-0.1f, 0.48f, 0.02f));
  arms = glm::scale(arms, glm::vec3(0.7f));
  arms = glm::rotate(arms, 17.453293f * kDegToRad, glm::vec3(0, 0, 1));
  EXPECT_EQ(WorldMatrix(&world.armsNode), world.canoeNode.transform * arms);
}

TEST(World, FixedNodesStandInTheirPlaces) {
  World world;
  BuildBoxWorld(world);
  struct Case {
    const char* name;
    const SceneNode& node;
    glm::vec3 place;
  } const cases[] = {
      {"cube", world.obstacles[0], {5, -0.25f, 0}}, {"platform", world.obstacles[1], {5, 0, -2}},
      {"duck 0", world.ducks[0], {5, 1.8f, -2}},    {"budman", world.budmanNode, {0, 0, -70}},
      {"wall z-", world.poolWallZNeg, {0, 0, -50}}, {"wall z+", world.poolWallZPos, {0, 0, 50}},
      {"wall x+", world.poolWallXPos, {50, 0, 0}},  {"wall x-", world.poolWallXNeg, {-50, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TranslationOf(c.node.transform), c.place) << c.name;
  }
  EXPECT_NEAR(world.obstacles[1].MaxCorner().y, 1.0f, 1e-6f);  // the platform's top
}

TEST(World, OtherDucksFloatOnEvenSpotsTheSameEveryBuild) {
  World first;
  BuildBoxWorld(first);
  std::rand();  // someone else drawing in between must not change the next layout
  World second;
  BuildBoxWorld(second);

  for (int i = 1; i < DuckCount; ++i) {
    const glm::vec3 place = TranslationOf(first.ducks[i].transform);
    EXPECT_EQ(place, TranslationOf(second.ducks[i].transform)) << i;
    EXPECT_EQ(place.y, -0.6f) << i;
    EXPECT_TRUE(place.x >= -20 && place.x <= 28 && std::fmod(place.x, 2.0f) == 0.0f) << place.x;
    EXPECT_TRUE(place.z >= -20 && place.z <= 8 && std::fmod(place.z, 2.0f) == 0.0f) << place.z;
  }

  // The layout a desktop player knows: the first ducks of a fresh program, z before x.
  const glm::vec3 known[] = {{2, -0.6f, 6}, {10, -0.6f, 4}, {0, -0.6f, -4}};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(TranslationOf(first.ducks[i + 1].transform), known[i]);
}

TEST(World, PoolGeneratorGivesTheDesktopLibrarysSequence) {
  // glibc's rand() after srand(1), which the browser build's C library does not give.
  PoolRandom one = SeedPoolRandom(1);
  for (int expected : {1804289383, 846930886, 1681692777, 1714636915, 1957747793}) {
    EXPECT_EQ(NextPoolRandom(one), expected);
  }
#ifdef __GLIBC__
  for (unsigned seed : {1u, 7u, 123456789u}) {
    std::srand(seed);
    PoolRandom ours = SeedPoolRandom(seed);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(NextPoolRandom(ours), std::rand()) << seed << " " << i;
  }
#endif
}

TEST(World, WaterAndGroundCoverThePool) {
  World world;
  BuildBoxWorld(world);
  const SceneNode& water = world.waterVolume;
  EXPECT_EQ(water.model, nullptr);
  EXPECT_EQ(water.minCorner, glm::vec3(-50, -1, -50));
  EXPECT_EQ(water.size, glm::vec3(100, 0.5f, 100));
  // The 2 x 2 plane at y -0.5 maps to the water surface and to the ground 1 below it.
  const glm::vec4 planeCorner(1, -0.5f, -1, 1);
  EXPECT_EQ(glm::vec3(water.transform * planeCorner), glm::vec3(50, -0.5f, -50));
  EXPECT_EQ(glm::vec3(world.planeMatrix * planeCorner), glm::vec3(50, -1.5f, -50));
}

TEST(World, MissingModelsStillBuildAndPlaceZeroBoxes) {
  World world;
  BuildSceneNodes(world, WorldModels{});
  BuildWaterVolume(world);
  ScaleGroundAndWater(world);
  SetArmsStartPose(world);
  EXPECT_EQ(world.ducks[0].minCorner, glm::vec3(5, 1.8f, -2));
  EXPECT_EQ(world.ducks[0].size, glm::vec3(0.0f));
  EXPECT_EQ(world.canoeNode.minCorner, glm::vec3(0, -0.5f, 0));
}
