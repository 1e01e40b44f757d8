// camera.cpp: the free camera's axes and motion, the seat view and the scene projection.
#include "scene/camera.h"

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "scene/float_trig.h"
#include "scene/scene_node.h"

Camera::Camera()
    : Camera(glm::vec3(8.0f, 4.0f, 8.0f), glm::vec3(0.0f, 1.0f, 0.0f), -130.0f, -10.0f) {}

Camera::Camera(glm::vec3 position, glm::vec3 worldUp, float yaw, float pitch)
    : position(position), worldUp(worldUp), yaw(yaw), pitch(pitch) {
  front = glm::vec3(0.0f, 0.0f, -1.0f);
  up = glm::vec3(0.0f);
  right = glm::vec3(0.0f);
  RecomputeAxes();
}

void Camera::RecomputeAxes() {
  const float yawRad = yaw * kDegToRad;
  const float pitchRad = pitch * kDegToRad;
  const glm::vec3 direction(SameCos(yawRad) * SameCos(pitchRad), SameSin(pitchRad),
                            SameSin(yawRad) * SameCos(pitchRad));
  front = glm::normalize(direction);
  right = glm::normalize(glm::cross(front, worldUp));
  up = glm::normalize(glm::cross(right, front));
}

glm::mat4 Camera::ViewMatrix() const {
  return glm::lookAt(position, position + front, up);
}

void Camera::Move(CameraMove direction, float deltaTime) {
  const float velocity = speed * deltaTime;
  switch (direction) {
    case CameraMove::Forward:
      position += front * velocity;
      break;
    case CameraMove::Backward:
      position -= front * velocity;
      break;
    case CameraMove::Left:
      position -= right * velocity;
      break;
    case CameraMove::Right:
      position += right * velocity;
      break;
  }
}

void Camera::Look(float xOffset, float yOffset) {
  yaw += xOffset * sensitivity;
  pitch += yOffset * sensitivity;
  if (pitch > 89.0f) {
    pitch = 89.0f;
  } else if (pitch < -89.0f) {
    pitch = -89.0f;
  }
  RecomputeAxes();
}

void Camera::ZoomBy(float yOffset) {
  if (zoom >= 1.0f && zoom <= 45.0f) zoom -= yOffset;
  if (zoom <= 1.0f) {
    zoom = 1.0f;
  } else if (zoom >= 45.0f) {
    zoom = 45.0f;
  }
}

glm::vec3 EyeOfView(const glm::mat4& view) {
  const glm::vec4 column = glm::inverse(view)[3];
  return glm::vec3(column.x / column.w, column.y / column.w, column.z / column.w);
}

View SeatView(const glm::mat4& canoeTransform) {
  glm::mat4 view(1.0f);
  view = glm::translate(view, glm::vec3(0.0f, -1.0f, -4.0f));
  view = glm::rotate(view, 0.34906584f, glm::vec3(1.0f, 0.0f, 0.0f));
  view = glm::rotate(view, 1.5707964f, glm::vec3(0.0f, 1.0f, 0.0f));
  view = view * glm::inverse(canoeTransform);
  return View{view, EyeOfView(view)};
}

View SelectView(const Camera& camera, bool seatView, const glm::mat4& canoeTransform) {
  if (seatView) return SeatView(canoeTransform);
  return View{camera.ViewMatrix(), camera.position};
}

glm::mat4 SceneProjection(float zoom, unsigned width, unsigned height) {
  return glm::perspective(zoom * kDegToRad, static_cast<float>(width) / static_cast<float>(height),
                          0.1f, 150.0f);
}
