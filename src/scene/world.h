// world.h: the fixed set of scene nodes of one game: the canoe chain, obstacles, ducks, pool
// walls, the chrome statue and the invisible water volume. Built once at start-up.
#pragma once

#include <array>
#include <glm/glm.hpp>

#include "scene/scene_node.h"

struct Model;

constexpr int DuckCount = 15;

// The nine models the world is built from (owned by the caller; may be empty models).
struct WorldModels {
  const Model* duck = nullptr;
  const Model* canoe = nullptr;
  const Model* driver = nullptr;
  const Model* driverArms = nullptr;
  const Model* cube = nullptr;
  const Model* platform2 = nullptr;
  const Model* pool2 = nullptr;
  const Model* pool3 = nullptr;
  const Model* budman = nullptr;
};

struct World {
  SceneNode canoeNode;
  SceneNode driverNode;
  SceneNode armsNode;
  std::array<SceneNode, 2> obstacles;  // cube, platform
  std::array<SceneNode, DuckCount> ducks;
  SceneNode budmanNode;
  SceneNode poolWallZNeg, poolWallZPos, poolWallXPos, poolWallXNeg;
  SceneNode waterVolume;        // box only; its transform is the water's model matrix
  glm::mat4 planeMatrix{1.0f};  // model matrix of the ground plane
  glm::vec3 lightPos{50.0f, 10.0f, 50.0f};

  World() = default;
  World(const World&) = delete;  // nodes link to each other by address
  World& operator=(const World&) = delete;
};

// One unplaced node per model (identity transform, box of the model), from which the world's
// nodes are copied. Tests fill it with box-only nodes to build a world without any GL.
struct WorldPrototypes {
  SceneNode duck, canoe, driver, driverArms, cube, platform2, pool2, pool3, budman;
};

WorldPrototypes PrototypesOf(const WorldModels& models);  // a null model gives a zero box

// Start-up steps of the world, in the order start-up calls them.
void BuildSceneNodes(World& world, const WorldModels& models);  // canoe chain ... pool walls
void BuildSceneNodes(World& world, const WorldPrototypes& prototypes);
void BuildWaterVolume(World& world);     // water box, canoe set onto the water
void ScaleGroundAndWater(World& world);  // plane matrix, water volume to 100 x 100
void SetArmsStartPose(World& world);     // arms' 17.45-degree start rotation
