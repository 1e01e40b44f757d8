// mesh.cpp: uploading a mesh into GL buffers and drawing it with its material's textures.
#include "gfx/mesh.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <utility>

// The vertex buffer is a straight copy of the vector, so the struct must be the GL layout.
static_assert(sizeof(Vertex) == 32, "Vertex must be 32 tightly packed bytes");
static_assert(offsetof(Vertex, position) == 0, "position at byte 0");
static_assert(offsetof(Vertex, normal) == 12, "normal at byte 12");
static_assert(offsetof(Vertex, texCoords) == 24, "texCoords at byte 24");

namespace {

// Drops every triangle (group of three indices, or the short group at the end) that names a
// vertex the mesh does not have: GL would read past the vertex buffer for it.
std::vector<unsigned int> DropTrianglesOutsideVertices(std::vector<unsigned int> indices,
                                                       size_t vertexCount) {
  size_t kept = 0;
  for (size_t start = 0; start < indices.size(); start += 3) {
    const size_t end = std::min(start + 3, indices.size());
    bool inside = true;
    for (size_t i = start; i < end; ++i) inside = inside && indices[i] < vertexCount;
    if (!inside) continue;
    for (size_t i = start; i < end; ++i) indices[kept++] = indices[i];
  }
  indices.resize(kept);
  return indices;
}

}  // namespace

const char* SamplerName(const std::string& type, unsigned& diffuseCounter,
                        unsigned& specularCounter, SamplerNameBuffer& buffer) {
  unsigned* counter = nullptr;
  if (type == "texture_diffuse") {
    counter = &diffuseCounter;
  } else if (type == "texture_specular") {
    counter = &specularCounter;
  } else {
    return type.c_str();
  }
  std::snprintf(buffer.text, sizeof buffer.text, "%s%u", type.c_str(), (*counter)++);
  return buffer.text;
}

Mesh::Mesh(std::vector<Vertex> v, std::vector<unsigned int> i, std::vector<Texture> t)
    : vertices(std::move(v)), indices(std::move(i)), textures(std::move(t)) {
  indices = DropTrianglesOutsideVertices(std::move(indices), vertices.size());
  UploadBuffers();
}

void Mesh::UploadBuffers() {
  glGenVertexArrays(1, &vao);
  glGenBuffers(1, &vbo);
  glGenBuffers(1, &ebo);

  glBindVertexArray(vao);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, vertices.size() * sizeof(Vertex), vertices.data(), GL_STATIC_DRAW);
  // The element binding is part of the vertex array's state.
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * sizeof(unsigned int), indices.data(),
               GL_STATIC_DRAW);

  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                        reinterpret_cast<void*>(offsetof(Vertex, position)));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                        reinterpret_cast<void*>(offsetof(Vertex, normal)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                        reinterpret_cast<void*>(offsetof(Vertex, texCoords)));

  glBindVertexArray(0);
}

void Mesh::Draw(Shader shader) const {
  // Counters restart for every draw: the first texture of each type is sampler 1.
  unsigned diffuseCounter = 1;
  unsigned specularCounter = 1;
  for (size_t i = 0; i < textures.size(); ++i) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
    SamplerNameBuffer buffer;
    const char* name = SamplerName(textures[i].type, diffuseCounter, specularCounter, buffer);
    SetUniformInt(shader, name, static_cast<int>(i));
    glBindTexture(GL_TEXTURE_2D, textures[i].id);
  }
  SetUniformFloat(shader, "material.shininess", 16.0f);

  glBindVertexArray(vao);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, nullptr);
  glBindVertexArray(0);

  // Leave no material texture behind on the units this mesh used.
  for (size_t i = 0; i < textures.size(); ++i) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
    glBindTexture(GL_TEXTURE_2D, 0);
  }
}
