// model.h: everything drawable in one COLLADA file, imported with Assimp into a flat list of
// meshes. Each distinct texture file is loaded once per model (loadedTextures is the cache).
#pragma once

#include <string>
#include <vector>

#include "gfx/mesh.h"
#include "gfx/shader.h"

struct DecodedMesh;

struct Model {
  std::vector<Mesh> meshes;             // every mesh, in depth-first node order
  std::string directory;                // the path up to its last '/': base of texture files
  std::vector<Texture> loadedTextures;  // textures loaded so far, one per distinct path

  Model() = default;
  explicit Model(const char* path);  // imports; prints "ERROR::ASSIMP:: ..." on failure

  void Draw(Shader shader) const;                         // draws every mesh in order
  std::vector<Mesh> GetMeshes() const { return meshes; }  // a copy; GL names shared

 private:
  void Load(std::string path);
  std::vector<Texture> LoadMeshTextures(const DecodedMesh& mesh);  // diffuse, then specular
};
