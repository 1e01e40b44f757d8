// pass_math.h: the matrices the render passes derive each frame: the fixed light's view of the
// scene, the sky box's rotation-only view and the reflection camera under the water. Pure
// arithmetic (no GL), so tests check it without a context.
#pragma once

#include <glm/glm.hpp>

#include "scene/camera.h"
#include "scene/scene_node.h"

// The fixed light: an orthographic box 200 x 200 wide, 10 units behind to 100 units in front.
struct LightMatrices {
  glm::mat4 projection{1.0f};
  glm::mat4 view{1.0f};
  glm::mat4 lightSpaceMatrix{1.0f};  // projection * view
};
LightMatrices ComputeLightMatrices(const glm::vec3& lightPos);

// The upper-left 3 x 3 of `view` with no translation: the sky stays infinitely far away.
glm::mat4 SkyboxViewOf(const glm::mat4& view);

// The camera riding with the canoe below the water and looking 20 degrees upward; the water
// shader flips its image vertically to make it a reflection.
View ReflectionView(const SceneNode& canoeNode);

// Clip planes of the lit scene: keep dot(world position, plane) >= 0.
constexpr glm::vec4 kScenePassClipPlane{0.0f, 1.0f, 0.0f, 50.0f};      // everything
constexpr glm::vec4 kReflectionPassClipPlane{0.0f, 1.0f, 0.0f, 0.5f};  // above the water
