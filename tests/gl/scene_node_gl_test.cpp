// Scene nodes with GL: the box of a model's meshes, and the "model" matrix a chain draws with.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "gfx/model.h"
#include "gl_context.h"
#include "scene/scene_node.h"

namespace {

Mesh MeshOf(std::initializer_list<glm::vec3> positions) {
  std::vector<Vertex> vertices;
  for (const glm::vec3& p : positions) vertices.push_back(Vertex{p, glm::vec3(0, 1, 0), {}});
  return Mesh(vertices, {}, {});
}

GLuint Compile(GLenum type, const char* source) {
  const GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return shader;
}

// The smallest program with a "model" matrix.
Shader ModelMatrixProgram() {
  const GLuint vs =
      Compile(GL_VERTEX_SHADER,
              "#version 330 core\nlayout(location = 0) in vec3 p;\n"
              "uniform mat4 model;\nvoid main() { gl_Position = model * vec4(p, 1); }\n");
  const GLuint fs = Compile(
      GL_FRAGMENT_SHADER, "#version 330 core\nout vec4 color;\nvoid main() { color = vec4(1); }\n");
  Shader shader;
  shader.programId = glCreateProgram();
  glAttachShader(shader.programId, vs);
  glAttachShader(shader.programId, fs);
  glLinkProgram(shader.programId);
  return shader;
}

glm::mat4 ModelUniform(const Shader& shader) {
  glm::mat4 value(0.0f);
  glGetUniformfv(shader.programId, glGetUniformLocation(shader.programId, "model"),
                 glm::value_ptr(value));
  return value;
}

}  // namespace

TEST(SceneNodeGl, ModelBoxSpansEveryVertexOfEveryMesh) {
  Model model;
  model.meshes.push_back(MeshOf({}));  // an empty first mesh is skipped, never read
  model.meshes.push_back(MeshOf({{1, 2, 3}, {-1, 5, 0}, {0, 0, -4}}));
  model.meshes.push_back(MeshOf({{2, -1, 1}}));
  const SceneNode node(&model);
  EXPECT_EQ(node.model, &model);
  EXPECT_EQ(node.minCorner, glm::vec3(-1, -1, -4));
  EXPECT_EQ(node.size, glm::vec3(3, 6, 7));
  EXPECT_EQ(node.baseCorners, BoxCorners({-1, -1, -4}, {2, 5, 3}));
  EXPECT_EQ(node.corners, node.baseCorners);

  Model hollow;
  hollow.meshes.push_back(MeshOf({}));
  EXPECT_EQ(SceneNode(&hollow).size, glm::vec3(0.0f));
  EXPECT_EQ(SceneNode(&hollow).minCorner, glm::vec3(0.0f));
}

TEST(SceneNodeGl, ChainDrawsEachNodeWithItsWorldMatrix) {
  const Shader shader = ModelMatrixProgram();
  shader.Use();
  const SceneNode box(BoxCorners({-1, -1, -1}, {1, 1, 1}));
  SceneNode canoe = box, driver = box, arms = box;
  canoe.Translate({3, 0, -2});
  canoe.Rotate(30.0f, {0, 1, 0});
  driver.Translate({0.5f, 0.2f, 0});
  arms.Translate({-0.1f, 0.48f, 0.02f});
  arms.Scale({0.7f, 0.7f, 0.7f});
  canoe.child = &driver;
  canoe.hasChild = true;
  driver.parent = &canoe;
  driver.child = &arms;
  driver.hasChild = true;
  arms.parent = &driver;

  canoe.hasChild = false;
  canoe.Draw(shader);  // a root alone: its own transform
  EXPECT_EQ(ModelUniform(shader), canoe.transform);
  canoe.hasChild = true;
  canoe.Draw(shader);  // the chain ends with the arms, drawn last
  EXPECT_EQ(ModelUniform(shader), canoe.transform * driver.transform * arms.transform);

  SceneNode dangling = box;  // claims a child it does not have
  dangling.hasChild = true;
  dangling.Draw(shader);
  EXPECT_EQ(ModelUniform(shader), glm::mat4(1.0f));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glUseProgram(0);
  glDeleteProgram(shader.programId);
}
