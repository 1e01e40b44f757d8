// camera.h: the free first-person camera (arrows move it, mouse turns it, wheel zooms) and the
// seat view that rides in the canoe. Angles are degrees.
#pragma once

#include <glm/glm.hpp>

enum class CameraMove { Forward, Backward, Left, Right };

struct Camera {
  glm::vec3 position{8.0f, 4.0f, 8.0f};
  glm::vec3 front{0.0f, 0.0f, -1.0f};
  glm::vec3 up{0.0f};
  glm::vec3 right{0.0f};
  glm::vec3 worldUp{0.0f, 1.0f, 0.0f};
  float yaw = -130.0f;
  float pitch = -10.0f;
  float speed = 3.0f;
  float sensitivity = 0.25f;
  float zoom = 45.0f;

  Camera();  // the start camera: (8, 4, 8), world up +y, yaw -130, pitch -10
  Camera(glm::vec3 position, glm::vec3 worldUp, float yaw, float pitch);

  void RecomputeAxes();          // front, right, up from yaw and pitch
  glm::mat4 ViewMatrix() const;  // lookAt(position, position + front, up)
  void Move(CameraMove direction, float deltaTime);
  void Look(float xOffset, float yOffset);  // mouse: sensitivity, pitch clamp +-89
  void ZoomBy(float yOffset);               // wheel: zoom kept in [1, 45]
};

// A view matrix and the eye position it implies.
struct View {
  glm::mat4 matrix{1.0f};
  glm::vec3 eye{0.0f};
};

glm::vec3 EyeOfView(const glm::mat4& view);      // translation of inverse(view), / w
View SeatView(const glm::mat4& canoeTransform);  // rides in the canoe's seat
View SelectView(const Camera& camera, bool seatView, const glm::mat4& canoeTransform);
glm::mat4 SceneProjection(float zoom, unsigned width, unsigned height);  // fov zoom, 0.1..150
