// pass_math.cpp: light, sky box and reflection-camera matrices.
#include "render/pass_math.h"

#include <glm/gtc/matrix_transform.hpp>

LightMatrices ComputeLightMatrices(const glm::vec3& lightPos) {
  LightMatrices m;
  m.projection = glm::ortho(-100.0f, 100.0f, -100.0f, 100.0f, -10.0f, 100.0f);
  // The up vector (1, 1, 1) only fixes the map's roll; any vector off the light's axis would do.
  m.view = glm::lookAt(lightPos, glm::vec3(0.0f), glm::vec3(1.0f, 1.0f, 1.0f));
  m.lightSpaceMatrix = m.projection * m.view;
  return m;
}

glm::mat4 SkyboxViewOf(const glm::mat4& view) {
  return glm::mat4(glm::mat3(view));
}

View ReflectionView(const SceneNode& canoeNode) {
  // Twice the height of the canoe box's centre, computed in double as the game always has.
  const double h =
      (static_cast<double>(canoeNode.size.y) * 0.5 + static_cast<double>(canoeNode.minCorner.y)) *
      2.0;
  View v;
  v.matrix = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 1.5f, -4.0f));
  v.matrix = glm::rotate(v.matrix, -0.34906584f, glm::vec3(1.0f, 0.0f, 0.0f));
  v.matrix = glm::rotate(v.matrix, 1.5707964f, glm::vec3(0.0f, 1.0f, 0.0f));
  v.matrix = v.matrix * glm::inverse(canoeNode.transform);
  v.matrix = glm::translate(v.matrix, glm::vec3(0.0f, static_cast<float>(h), 0.0f));
  v.eye = EyeOfView(v.matrix);
  return v;
}
