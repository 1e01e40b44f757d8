// scene_node.cpp: placeholder until the scene lands.
#include "scene/scene_node.h"

SceneNode::SceneNode(const std::array<glm::vec3, 8>&) {}
SceneNode::SceneNode(const Model* m) : model(m) {}
glm::mat4 SceneNode::Translate(glm::vec3) { return transform; }
glm::mat4 SceneNode::Scale(glm::vec3) { return transform; }
glm::mat4 SceneNode::Rotate(float, glm::vec3) { return transform; }
void SceneNode::UpdateBounds() {}
void SceneNode::Draw(const Shader&) const {}
void SceneNode::RiseStep(float) {}
glm::mat4 WorldMatrix(const SceneNode* node) { return node->transform; }
std::array<glm::vec3, 8> BoxCorners(glm::vec3, glm::vec3) { return {}; }
