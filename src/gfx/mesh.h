// mesh.h: one drawable piece of a model: vertices and indices in CPU memory, uploaded once
// into a vertex array, plus the textures its material uses.
#pragma once

#include <assimp/types.h>

#include <glm/glm.hpp>
#include <string>
#include <vector>

#include "gfx/gl.h"
#include "gfx/shader.h"
#include "trial/decoders.h"  // Vertex

// One texture of a mesh's material.
struct Texture {
  GLuint id = 0;     // GL_TEXTURE_2D name
  std::string type;  // "texture_diffuse" or "texture_specular": the sampler name's stem
  aiString path;     // file name exactly as the material gives it (the loader's cache key)
};

// Room for a sampler name: the stem and a counter. Names are built on every draw into this
// stack buffer, so drawing a mesh allocates nothing.
struct SamplerNameBuffer {
  char text[48];
};

// Name of the sampler for the texture of the given type, given the per-type counters
// (both start at 1 for every draw). Advances the matching counter. Unknown types get no number.
// The result points into `buffer` (or at `type` itself for an unknown type).
const char* SamplerName(const std::string& type, unsigned& diffuseCounter,
                        unsigned& specularCounter, SamplerNameBuffer& buffer);

struct Mesh {
  std::vector<Vertex> vertices;
  std::vector<unsigned int> indices;
  std::vector<Texture> textures;  // diffuse ones first, then specular ones
  GLuint vao = 0;
  GLuint vbo = 0;
  GLuint ebo = 0;

  // Copies the lists, drops any triangle whose indices lie outside `vertices` (a corrupt file
  // must not make the draw read past the buffer), then UploadBuffers.
  Mesh(std::vector<Vertex> vertices, std::vector<unsigned int> indices,
       std::vector<Texture> textures);

  void UploadBuffers();            // creates vao/vbo/ebo and the attribute layout
  void Draw(Shader shader) const;  // binds samplers, sets "material.shininess", draws
};
