// scene_node_draw.cpp: drawing a scene node: its world matrix as "model", its model, then the
// rest of its chain with the same shader.
#include "gfx/model.h"
#include "gfx/shader.h"
#include "scene/scene_node.h"

void SceneNode::Draw(const Shader& shader) const {
  const glm::mat4 world = parent ? WorldMatrix(parent) * transform : transform;
  SetUniformMat4(shader, "model", world);  // looked up by name on every draw
  if (model) model->Draw(shader);
  // A box-only node draws nothing of its own but still hands on to its child.
  if (hasChild && child) child->Draw(shader);
}
