// model.cpp: a COLLADA file as a flat, drawable list of meshes.
//
// Node transforms are ignored on purpose: the scene graph places every model, so each mesh
// keeps the coordinates its file gives it. Decoding happens in decoders.cpp, in a trial
// process (in this one only where the caller chose that); here the meshes become GL objects.
#include "gfx/model.h"

#include <algorithm>
#include <iostream>

#include "gfx/texture.h"
#include "trial/decoders.h"
#include "trial/file_trial.h"
#include "trial/limits.h"

namespace {

// Which of the game's per-model caps `model` exceeds, in words; empty within all of them.
std::string ModelExcess(const DecodedModel& model) {
  std::size_t vertices = 0, indices = 0, textureUses = 0;
  std::vector<const std::string*> textureFiles;
  for (const DecodedMesh& mesh : model.meshes) {
    vertices += mesh.vertices.size();
    indices += mesh.indices.size();
    textureUses += mesh.textures.size();
    for (const auto& texture : mesh.textures) {
      const bool known =
          std::any_of(textureFiles.begin(), textureFiles.end(),
                      [&](const std::string* name) { return *name == texture.second; });
      if (!known && textureFiles.size() <= kMaxModelTextures)
        textureFiles.push_back(&texture.second);
    }
  }
  const auto over = [](const char* what, std::size_t cap) {
    return std::string("it has more ") + what + " than allowed (" + std::to_string(cap) + ")";
  };
  if (model.meshes.size() > kMaxModelMeshes) return over("meshes", kMaxModelMeshes);
  if (vertices > kMaxModelVertices) return over("vertices", kMaxModelVertices);
  if (indices > kMaxModelIndices) return over("indices", kMaxModelIndices);
  if (textureFiles.size() > kMaxModelTextures) return over("texture files", kMaxModelTextures);
  if (textureUses > kMaxModelTextureUses) return over("texture uses", kMaxModelTextureUses);
  return std::string();
}

}  // namespace

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
  if (!tried) decoded = DecodeModelFile(path);
  if (!decoded.loaded) {
    std::cout << "ERROR::ASSIMP:: " << decoded.error << std::endl;
    return;
  }
  // The game's own bounds on what one model may cost it, whatever the decoder made of it.
  if (const std::string excess = ModelExcess(decoded); !excess.empty()) {
    std::cout << "ERROR::ASSIMP:: Did not import " << path << ": " << excess << std::endl;
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
