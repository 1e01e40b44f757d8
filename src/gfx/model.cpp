// model.cpp: a COLLADA file as a flat, drawable list of meshes.
//
// Node transforms are ignored on purpose: the scene graph places every model, so each mesh
// keeps the coordinates its file gives it. Decoding happens in decoders.cpp, in a trial
// process when the game runs one; here the decoded meshes become GL objects.
#include "gfx/model.h"

#include <iostream>

#include "gfx/decoders.h"
#include "gfx/file_trial.h"
#include "gfx/texture.h"

Model::Model(const char* path) {
  Load(path);
}

void Model::Draw(Shader shader) const {
  for (const Mesh& mesh : meshes) mesh.Draw(shader);
}

void Model::Load(std::string path) {
  const char* refusal = nullptr;
  const TrialRecord* tried = PassedTrial(path, refusal);
  DecodedModel decoded;
  if (tried && !ParseModel(tried->payload, decoded)) refusal = "its trial run sent back no model";
  // A file whose trial run crashed, ran out of memory or hung never reaches Assimp.
  if (refusal) {
    std::cout << "ERROR::ASSIMP:: Did not import " << path << ": " << refusal << std::endl;
    return;
  }
  if (!tried) decoded = DecodeModel(path);
  if (!decoded.loaded) {
    std::cout << "ERROR::ASSIMP:: " << decoded.error << std::endl;
    return;
  }
  directory = path.substr(0, path.find_last_of('/'));
  for (DecodedMesh& mesh : decoded.meshes) {
    std::vector<Texture> textures = LoadMeshTextures(mesh);
    meshes.emplace_back(std::move(mesh.vertices), std::move(mesh.indices), std::move(textures));
  }
}

std::vector<Texture> Model::LoadMeshTextures(const DecodedMesh& mesh) {
  std::vector<Texture> result;
  for (const auto& [typeName, name] : mesh.textures) {
    const aiString path(name);
    // Each file is loaded once per model; a hit copies the whole record, its type included.
    bool cached = false;
    for (const Texture& loaded : loadedTextures) {
      if (loaded.path == path) {
        result.push_back(loaded);
        cached = true;
        break;
      }
    }
    if (cached) continue;
    Texture texture;
    texture.id = LoadModelTexture(path.C_Str(), directory);
    texture.type = typeName;
    texture.path = path;
    result.push_back(texture);
    loadedTextures.push_back(texture);
  }
  return result;
}
