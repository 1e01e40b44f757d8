// world.cpp: building the world in its fixed order: the canoe chain, the obstacles, the ducks,
// the statue and the pool walls; then the water volume, the ground plane and the arms' pose.
#include "scene/world.h"

#include <glm/gtc/matrix_transform.hpp>

#include "scene/pool_random.h"

namespace {

// A fresh copy of a prototype, moved to its place.
SceneNode Placed(const SceneNode& prototype, glm::vec3 offset) {
  SceneNode node = prototype;
  node.Translate(offset);
  return node;
}

}  // namespace

WorldPrototypes PrototypesOf(const WorldModels& models) {
  WorldPrototypes p;
  p.duck = SceneNode(models.duck);
  p.canoe = SceneNode(models.canoe);
  p.driver = SceneNode(models.driver);
  p.driverArms = SceneNode(models.driverArms);
  p.cube = SceneNode(models.cube);
  p.platform2 = SceneNode(models.platform2);
  p.pool2 = SceneNode(models.pool2);
  p.pool3 = SceneNode(models.pool3);
  p.budman = SceneNode(models.budman);
  return p;
}

void BuildSceneNodes(World& world, const WorldModels& models) {
  BuildSceneNodes(world, PrototypesOf(models));
}

void BuildSceneNodes(World& world, const WorldPrototypes& p) {
  // The canoe chain: canoe -> driver -> arms. The driver sits at the canoe's origin.
  world.canoeNode = p.canoe;
  world.driverNode = p.driver;
  world.armsNode = p.driverArms;
  world.canoeNode.child = &world.driverNode;
  world.armsNode.parent = &world.driverNode;
  world.canoeNode.hasChild = true;
  world.driverNode.parent = &world.canoeNode;
  world.driverNode.child = &world.armsNode;
  world.driverNode.hasChild = true;
  world.armsNode.Translate(glm::vec3(-0.1f, 0.48f, 0.02f));
  world.armsNode.Scale(glm::vec3(0.7f, 0.7f, 0.7f));

  // The cube, the platform, and the one duck that sits above the platform.
  world.obstacles[0] = Placed(p.cube, glm::vec3(5.0f, -0.25f, 0.0f));
  world.obstacles[1] = Placed(p.platform2, glm::vec3(5.0f, 0.0f, -2.0f));
  world.ducks[0] = Placed(p.duck, glm::vec3(5.0f, 1.8f, -2.0f));

  // The other ducks float at random even places, two draws each, z first. Seed 1 (the C
  // library's state at program start) gives the layout of a fresh, unseeded program, and a
  // generator of our own gives it in every build, so a second build places the ducks alike.
  PoolRandom random = SeedPoolRandom(1);
  for (int i = 1; i < DuckCount; ++i) {
    const int zDraw = NextPoolRandom(random);
    const int xDraw = NextPoolRandom(random);
    const float z = static_cast<float>((zDraw % 15) - 10) * 2.0f;
    const float x = static_cast<float>((xDraw % 25) - 10) * 2.0f;
    world.ducks[i] = Placed(p.duck, glm::vec3(x, -0.6f, z));
  }

  world.budmanNode = Placed(p.budman, glm::vec3(0.0f, 0.0f, -70.0f));
  world.poolWallZNeg = Placed(p.pool2, glm::vec3(0.0f, 0.0f, -50.0f));
  world.poolWallZPos = Placed(p.pool2, glm::vec3(0.0f, 0.0f, 50.0f));
  world.poolWallXPos = Placed(p.pool3, glm::vec3(50.0f, 0.0f, 0.0f));
  world.poolWallXNeg = Placed(p.pool3, glm::vec3(-50.0f, 0.0f, 0.0f));
}

void BuildWaterVolume(World& world) {
  // The points repeat one corner and are not in corner order; the box is their extent:
  // x and z from -1 to 1, y from -1 up to the water surface at -0.5.
  world.waterVolume = SceneNode(std::array<glm::vec3, 8>{
      glm::vec3(-1.0f, -0.5f, 1.0f), glm::vec3(1.0f, -0.5f, 1.0f), glm::vec3(1.0f, -0.5f, -1.0f),
      glm::vec3(-1.0f, -0.5f, 1.0f), glm::vec3(1.0f, -0.5f, -1.0f), glm::vec3(-1.0f, -0.5f, -1.0f),
      glm::vec3(-1.0f, -1.0f, 1.0f), glm::vec3(1.0f, -1.0f, 1.0f)});
  // Set the canoe's bottom onto the surface.
  const SceneNode& water = world.waterVolume;
  const float lift = (water.size.y + water.minCorner.y) - world.canoeNode.minCorner.y;
  world.canoeNode.Translate(glm::vec3(0.0f, lift, 0.0f));
}

void ScaleGroundAndWater(World& world) {
  // The scale comes first, so the ground's drop of 1 is in the scaled frame (y is unscaled):
  // the 2 x 2 plane at y -0.5 becomes the 100 x 100 ground at y -1.5.
  world.planeMatrix = glm::scale(world.planeMatrix, glm::vec3(50.0f, 1.0f, 50.0f));
  world.waterVolume.Scale(glm::vec3(50.0f, 1.0f, 50.0f));
  world.planeMatrix = glm::translate(world.planeMatrix, glm::vec3(0.0f, -1.0f, 0.0f));
}

void SetArmsStartPose(World& world) {
  // 1000 x 0.017453292 = 17.453293 degrees about z: the top of the paddling stroke.
  world.armsNode.Rotate(1000.0f * kDegToRad, glm::vec3(0.0f, 0.0f, 1.0f));
}
