// scene_node.h: places one model (or only a box) in the world: a local transform, an
// axis-aligned box that follows it, a non-owning child/parent chain and the canoe's jump state.
//
// A plain value: copies share model, child and parent. Transform steps multiply on the right,
// so each acts in the node's own local frame. Angles are degrees, converted with 0.017453292.
#pragma once

#include <array>
#include <glm/glm.hpp>

struct Model;
struct Shader;

constexpr float kDegToRad = 0.017453292f;  // the game's one degrees-to-radians factor

struct SceneNode {
  glm::vec3 size{0.0f};          // box extent (max - min)
  glm::vec3 minCorner{0.0f};     // box minimum
  glm::mat4 transform{1.0f};     // local transform ("model" uniform of a root node)
  const Model* model = nullptr;  // drawn model; null for a box-only node
  SceneNode* child = nullptr;    // drawn after this node while hasChild
  SceneNode* parent = nullptr;   // transform is relative to parent's world matrix
  bool hasChild = false;
  std::array<glm::vec3, 8> corners{};      // box corners after transform
  std::array<glm::vec3, 8> baseCorners{};  // box corners in model space
  bool rising = false;                     // jump: upward phase
  bool falling = false;                    // jump: downward phase
  float riseHeight = 0.0f;                 // height gained so far while rising

  SceneNode() = default;
  explicit SceneNode(const std::array<glm::vec3, 8>& points);  // box-only node
  explicit SceneNode(const Model* model);                      // box from every vertex

  glm::mat4 Translate(glm::vec3 offset);
  glm::mat4 Scale(glm::vec3 factors);
  glm::mat4 Rotate(float angleDegrees, glm::vec3 axis);
  void UpdateBounds();  // corners, minCorner, size from baseCorners
  glm::vec3 MaxCorner() const { return minCorner + size; }

  void Draw(const Shader& shader) const;  // sets "model", draws the model, then the child
  void RiseStep(float deltaTime);         // upward phase of the jump
};

// The node's transform preceded by every ancestor's (parent's world matrix on the left).
glm::mat4 WorldMatrix(const SceneNode* node);

// The eight corners of the box [lo, hi] in the node corner order.
std::array<glm::vec3, 8> BoxCorners(glm::vec3 lo, glm::vec3 hi);
