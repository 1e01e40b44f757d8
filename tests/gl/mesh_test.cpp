// Mesh: buffer sizes and vertex layout, sampler numbering and texture units, and a draw read
// back from an off-screen target.
#include "gfx/mesh.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gfx_test_files.h"
#include "gl_context.h"

namespace {

const char* const kVertex =
    "#version 330 core\n"
    "layout (location = 0) in vec3 aPos;\n"
    "layout (location = 1) in vec3 aNormal;\n"
    "layout (location = 2) in vec2 aTexCoords;\n"
    "out vec2 TexCoords;\n"
    "void main() { TexCoords = aTexCoords + aNormal.xy * 0.0; gl_Position = vec4(aPos, 1.0); }\n";
// Every sampler stays active through `mixWeight`, which is never set and so stays 0.
const char* const kFragment =
    "#version 330 core\n"
    "struct Material { float shininess; };\n"
    "uniform Material material;\n"
    "uniform float mixWeight;\n"
    "uniform sampler2D texture_diffuse1, texture_diffuse2, texture_specular1, "
    "texture_specular2;\n"
    "in vec2 TexCoords;\n"
    "out vec4 FragColor;\n"
    "void main() {\n"
    "  vec4 rest = texture(texture_diffuse2, TexCoords) + texture(texture_specular1, TexCoords)\n"
    "            + texture(texture_specular2, TexCoords);\n"
    "  FragColor = texture(texture_diffuse1, TexCoords) + mixWeight * material.shininess * rest;\n"
    "}\n";

// One triangle large enough to cover the whole viewport.
std::vector<Vertex> CoveringTriangle() {
  return {{{-1.0f, -1.0f, 0.0f}, {0, 0, 1}, {0.5f, 0.5f}},
          {{3.0f, -1.0f, 0.0f}, {0, 0, 1}, {0.5f, 0.5f}},
          {{-1.0f, 3.0f, 0.0f}, {0, 0, 1}, {0.5f, 0.5f}}};
}

GLuint OneTexelTexture(unsigned char r, unsigned char g, unsigned char b) {
  const unsigned char texel[3] = {r, g, b};
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  return id;
}

Texture MakeTexture(GLuint id, const char* type) {
  Texture texture;
  texture.id = id;
  texture.type = type;
  texture.path = aiString(std::string("t") + std::to_string(id) + ".png");
  return texture;
}

GLint BufferSize(GLenum target, GLuint buffer) {
  glBindBuffer(target, buffer);
  GLint size = -1;
  glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
  glBindBuffer(target, 0);
  return size;
}

GLint Uniform(const Shader& shader, const char* name) {
  GLint value = -1;
  glGetUniformiv(shader.programId, glGetUniformLocation(shader.programId, name), &value);
  return value;
}

GLint Integer(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}

}  // namespace

TEST(Mesh, BuffersHoldExactlyTheListsAndTheLayoutIsThirtyTwoBytes) {
  std::vector<Vertex> vertices;
  for (int i = 0; i < 5; ++i) {
    const float f = static_cast<float>(i);
    vertices.push_back({{f, f + 0.5f, -f}, {0.0f, 1.0f, f}, {f * 0.25f, 1.0f - f}});
  }
  const std::vector<unsigned int> indices = {0, 1, 2, 2, 3, 4};
  const Mesh mesh(vertices, indices, {});

  EXPECT_EQ(BufferSize(GL_ARRAY_BUFFER, mesh.vbo), 5 * 32);
  EXPECT_EQ(BufferSize(GL_ELEMENT_ARRAY_BUFFER, mesh.ebo), 6 * 4);
  std::vector<Vertex> stored(5);
  glBindBuffer(GL_ARRAY_BUFFER, mesh.vbo);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, 5 * 32, stored.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  EXPECT_EQ(std::memcmp(stored.data(), vertices.data(), 5 * 32), 0);

  glBindVertexArray(mesh.vao);
  EXPECT_EQ(static_cast<GLuint>(Integer(GL_ELEMENT_ARRAY_BUFFER_BINDING)), mesh.ebo);
  struct Attribute {
    GLuint location;
    GLint components;
    size_t offset;
  };
  for (const Attribute& a : {Attribute{0, 3, 0}, Attribute{1, 3, 12}, Attribute{2, 2, 24}}) {
    SCOPED_TRACE(a.location);
    GLint value = -1;
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &value);
    EXPECT_EQ(value, GL_TRUE);
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_SIZE, &value);
    EXPECT_EQ(value, a.components);
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_TYPE, &value);
    EXPECT_EQ(value, GL_FLOAT);
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &value);
    EXPECT_EQ(value, GL_FALSE);
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &value);
    EXPECT_EQ(value, 32);
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &value);
    EXPECT_EQ(static_cast<GLuint>(value), mesh.vbo);
    void* pointer = nullptr;
    glGetVertexAttribPointerv(a.location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
    EXPECT_EQ(reinterpret_cast<size_t>(pointer), a.offset);
  }
  GLint enabled = -1;
  glGetVertexAttribiv(3, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
  EXPECT_EQ(enabled, GL_FALSE);
  glBindVertexArray(0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Mesh, TrianglesNamingMissingVerticesAreDropped) {
  struct Case {
    const char* name;
    std::vector<unsigned int> indices;
    std::vector<unsigned int> kept;
  };
  const Case cases[] = {
      {"all inside", {0, 1, 2, 2, 1, 0}, {0, 1, 2, 2, 1, 0}},
      {"bad last triangle", {0, 1, 2, 0, 1, 3}, {0, 1, 2}},
      {"bad first triangle", {0, 4000000000u, 1, 0, 1, 2}, {0, 1, 2}},
      {"bad short tail", {0, 1, 2, 7}, {0, 1, 2}},
      {"good short tail", {0, 1, 2, 1}, {0, 1, 2, 1}},
      {"nothing left", {3, 4, 5}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Mesh mesh(CoveringTriangle(), c.indices, {});
    EXPECT_EQ(mesh.indices, c.kept);
    EXPECT_EQ(BufferSize(GL_ELEMENT_ARRAY_BUFFER, mesh.ebo), static_cast<GLint>(4 * c.kept.size()));
  }
}

TEST(Mesh, DrawNumbersSamplersPerTypeAndUsesTheListPositionAsUnit) {
  const Shader shader = ShaderFromSource(kVertex, kFragment);
  const GLuint a = OneTexelTexture(1, 0, 0), b = OneTexelTexture(2, 0, 0),
               c = OneTexelTexture(3, 0, 0), d = OneTexelTexture(4, 0, 0);
  const char* const kD = "texture_diffuse";
  const char* const kS = "texture_specular";
  struct Case {
    const char* name;
    std::vector<Texture> textures;
    // Expected values of texture_diffuse1, texture_diffuse2, texture_specular1,
    // texture_specular2; 9 means "left as it was".
    GLint expected[4];
  };
  const Case cases[] = {
      {"no textures", {}, {9, 9, 9, 9}},
      {"diffuse, diffuse, specular",
       {MakeTexture(a, kD), MakeTexture(b, kD), MakeTexture(c, kS)},
       {0, 1, 2, 9}},
      {"only specular", {MakeTexture(a, kS)}, {9, 9, 0, 9}},
      {"type decides, not position",
       {MakeTexture(a, kD), MakeTexture(b, kS), MakeTexture(c, kD), MakeTexture(d, kS)},
       {0, 2, 1, 3}},
      {"unknown type gets no sampler",
       {MakeTexture(a, "texture_normal"), MakeTexture(b, kD)},
       {1, 9, 9, 9}},
  };
  const char* const samplers[4] = {"texture_diffuse1", "texture_diffuse2", "texture_specular1",
                                   "texture_specular2"};
  shader.Use();
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    for (const char* sampler : samplers) SetUniformInt(shader, sampler, 9);
    SetUniformFloat(shader, "material.shininess", 0.0f);
    // A cube map on unit 0 and a 2D texture on the unit after the list: neither is the mesh's.
    GLuint cube = 0;
    glGenTextures(1, &cube);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    glBindTexture(GL_TEXTURE_2D, d);
    const GLenum after = GL_TEXTURE0 + static_cast<GLenum>(k.textures.size());
    glActiveTexture(after);
    glBindTexture(GL_TEXTURE_2D, d);
    glActiveTexture(GL_TEXTURE5);

    const Mesh mesh(CoveringTriangle(), {0, 1, 2}, k.textures);
    mesh.Draw(shader);

    for (int i = 0; i < 4; ++i) EXPECT_EQ(Uniform(shader, samplers[i]), k.expected[i]) << i;
    GLfloat shininess = 0.0f;
    glGetUniformfv(shader.programId, glGetUniformLocation(shader.programId, "material.shininess"),
                   &shininess);
    EXPECT_EQ(shininess, 16.0f);
    // The active unit stays on the last one used, or where it was without textures.
    EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE),
              k.textures.empty() ? GL_TEXTURE5 : static_cast<GLint>(after) - 1);
    for (size_t i = 0; i < k.textures.size(); ++i) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
      EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), 0) << "unit " << i;
    }
    glActiveTexture(after);
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_TEXTURE_BINDING_2D)), d);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_TEXTURE_BINDING_CUBE_MAP)), cube);
    EXPECT_EQ(Integer(GL_VERTEX_ARRAY_BINDING), 0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(after);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
  }
  glUseProgram(0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Mesh, DrawSamplesItsFirstDiffuseTextureAndSkipsDroppedTriangles) {
  const Shader shader = ShaderFromSource(kVertex, kFragment);
  const GLuint red = OneTexelTexture(255, 0, 0);
  const GLuint green = OneTexelTexture(0, 255, 0);
  // The specular texture comes first in the list, so the diffuse one sits on unit 1.
  const Mesh mesh(CoveringTriangle(), {0, 1, 2, 0, 1, 3000},
                  {MakeTexture(green, "texture_specular"), MakeTexture(red, "texture_diffuse")});
  OffscreenTarget target(8, 8);
  shader.Use();
  mesh.Draw(shader);
  const std::vector<unsigned char> pixels = target.Pixels();
  for (size_t p = 0; p < pixels.size(); p += 4) {
    ASSERT_EQ(pixels[p + 0], 255) << p / 4;
    ASSERT_EQ(pixels[p + 1], 0) << p / 4;
    ASSERT_EQ(pixels[p + 2], 0) << p / 4;
  }
  glUseProgram(0);
  glActiveTexture(GL_TEXTURE0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
