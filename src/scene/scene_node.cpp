// scene_node.cpp: node transforms, the box that follows them, the parent chain and the rise of
// the canoe's jump. Drawing (the one GL part of a node) lives in render/scene_node_draw.cpp.
#include "scene/scene_node.h"

#include <glm/gtc/matrix_transform.hpp>
#include <vector>

#include "gfx/model.h"
#include "scene/float_trig.h"

namespace {

// Strict comparisons, one axis at a time: the box keeps its first extreme on ties.
void Extend(glm::vec3& lo, glm::vec3& hi, const glm::vec3& v) {
  for (int axis = 0; axis < 3; ++axis) {
    if (lo[axis] > v[axis]) lo[axis] = v[axis];
    if (v[axis] > hi[axis]) hi[axis] = v[axis];
  }
}

}  // namespace

std::array<glm::vec3, 8> BoxCorners(glm::vec3 lo, glm::vec3 hi) {
  return {glm::vec3(lo.x, lo.y, lo.z), glm::vec3(hi.x, lo.y, lo.z), glm::vec3(hi.x, hi.y, lo.z),
          glm::vec3(lo.x, hi.y, lo.z), glm::vec3(lo.x, lo.y, hi.z), glm::vec3(lo.x, hi.y, hi.z),
          glm::vec3(hi.x, hi.y, hi.z), glm::vec3(hi.x, lo.y, hi.z)};
}

SceneNode::SceneNode(const std::array<glm::vec3, 8>& points)
    : corners(points), baseCorners(points) {
  UpdateBounds();
}

SceneNode::SceneNode(const Model* drawnModel) : model(drawnModel) {
  // A missing model, or one without a single vertex, leaves a zero box at the origin. The
  // extent starts at the first vertex found, so an empty first mesh is never read.
  if (!drawnModel) return;
  const std::vector<Mesh> meshes = drawnModel->GetMeshes();
  bool found = false;
  glm::vec3 lo(0.0f);
  glm::vec3 hi(0.0f);
  for (const Mesh& mesh : meshes) {
    for (const Vertex& vertex : mesh.vertices) {
      if (!found) {
        lo = hi = vertex.position;
        found = true;
      }
      Extend(lo, hi, vertex.position);
    }
  }
  minCorner = lo;
  size = hi - lo;
  baseCorners = BoxCorners(lo, hi);
  corners = baseCorners;
}

glm::mat4 SceneNode::Translate(glm::vec3 offset) {
  transform = glm::translate(transform, offset);
  UpdateBounds();
  return transform;
}

glm::mat4 SceneNode::Scale(glm::vec3 factors) {
  transform = glm::scale(transform, factors);
  UpdateBounds();
  return transform;
}

// glm::rotate's arithmetic, with the sine and cosine that every build rounds alike.
glm::mat4 SceneNode::Rotate(float angleDegrees, glm::vec3 axis) {
  const float a = angleDegrees * kDegToRad;
  const float c = SameCos(a), s = SameSin(a);
  const glm::vec3 n = glm::normalize(axis);
  const glm::vec3 t = (1.0f - c) * n;
  glm::mat3 r;
  r[0][0] = c + t[0] * n[0];
  r[0][1] = t[0] * n[1] + s * n[2];
  r[0][2] = t[0] * n[2] - s * n[1];
  r[1][0] = t[1] * n[0] - s * n[2];
  r[1][1] = c + t[1] * n[1];
  r[1][2] = t[1] * n[2] + s * n[0];
  r[2][0] = t[2] * n[0] + s * n[1];
  r[2][1] = t[2] * n[1] - s * n[0];
  r[2][2] = c + t[2] * n[2];
  const glm::mat4 m = transform;
  transform[0] = m[0] * r[0][0] + m[1] * r[0][1] + m[2] * r[0][2];
  transform[1] = m[0] * r[1][0] + m[1] * r[1][1] + m[2] * r[1][2];
  transform[2] = m[0] * r[2][0] + m[1] * r[2][1] + m[2] * r[2][2];
  UpdateBounds();
  return transform;
}

void SceneNode::UpdateBounds() {
  for (size_t i = 0; i < corners.size(); ++i) {
    // The w component is dropped without division: transforms here are affine.
    corners[i] = glm::vec3(transform * glm::vec4(baseCorners[i], 1.0f));
  }
  glm::vec3 lo = corners[0];
  glm::vec3 hi = corners[0];
  for (size_t i = 1; i < corners.size(); ++i) Extend(lo, hi, corners[i]);
  minCorner = lo;
  size = hi - lo;
}

void SceneNode::RiseStep(float deltaTime) {
  // "<=": the phase ends only on the first frame that starts above 2, so the rise overshoots
  // 2 by up to one step. The step and the running height are summed in double.
  if (riseHeight <= 2.0f) {
    const double step = static_cast<double>(deltaTime) * 5.0;
    Translate(glm::vec3(0.0f, static_cast<float>(step), 0.0f));
    riseHeight = static_cast<float>(static_cast<double>(riseHeight) + step);
    return;
  }
  rising = false;
  riseHeight = 0.0f;
  if (!falling) falling = true;
}

glm::mat4 WorldMatrix(const SceneNode* node) {
  if (!node->parent) return node->transform;
  return WorldMatrix(node->parent) * node->transform;
}
