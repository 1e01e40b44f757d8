// trial_loads.cpp: the decoders' calls as the loaders make them, with GL left out.
#include "gfx/trial_loads.h"

#include <SOIL/SOIL.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <ft2build.h>

#include <assimp/Importer.hpp>
#include <set>
#include FT_FREETYPE_H

#include "gfx/text_renderer.h"

namespace {

// Where the walk's sum goes, so the compiler cannot drop the reads that may fault.
volatile float walkSink = 0.0f;

// Touches what ConvertMesh reads, so an array shorter than its count faults here too.
float WalkMesh(const aiMesh* mesh) {
  float sum = 0.0f;
  const aiVector3D* uvs = mesh->mTextureCoords[0];
  for (unsigned int i = 0; i < mesh->mNumVertices; ++i) {
    if (mesh->mVertices) sum += mesh->mVertices[i].x;
    if (mesh->mNormals) sum += mesh->mNormals[i].y;
    if (uvs) sum += uvs[i].x;
  }
  for (unsigned int f = 0; f < mesh->mNumFaces; ++f) {
    const aiFace& face = mesh->mFaces[f];
    for (unsigned int k = 0; k < face.mNumIndices; ++k) sum += face.mIndices[k] * 1e-9f;
  }
  return sum;
}

// The loader's depth-first node walk, with the same skips for meshes an incomplete scene lacks.
void WalkNode(const aiNode* node, const aiScene* scene, const std::string& path,
              std::set<std::string>& seen, TrialOutcome& outcome, float& sum) {
  for (unsigned int i = 0; i < node->mNumMeshes; ++i) {
    const unsigned int meshIndex = node->mMeshes[i];
    if (meshIndex >= scene->mNumMeshes || !scene->mMeshes[meshIndex]) continue;
    const aiMesh* mesh = scene->mMeshes[meshIndex];
    sum += WalkMesh(mesh);
    if (mesh->mMaterialIndex >= scene->mNumMaterials || !scene->mMaterials[mesh->mMaterialIndex])
      continue;
    const aiMaterial* material = scene->mMaterials[mesh->mMaterialIndex];
    for (aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_SPECULAR}) {
      for (unsigned int t = 0; t < aiGetMaterialTextureCount(material, type); ++t) {
        aiString name;
        aiGetMaterialTexture(material, type, t, &name);
        const std::string texturePath = ModelTexturePath(path, name.C_Str());
        if (seen.insert(texturePath).second) outcome.texturePaths.push_back(texturePath);
      }
    }
  }
  for (unsigned int i = 0; i < node->mNumChildren; ++i) {
    if (node->mChildren[i]) WalkNode(node->mChildren[i], scene, path, seen, outcome, sum);
  }
}

}  // namespace

unsigned ModelImportFlags() {
  return aiProcess_Triangulate | aiProcess_FlipUVs;
}

std::string ModelTexturePath(const std::string& modelPath, const char* textureName) {
  return modelPath.substr(0, modelPath.find_last_of('/')) + '/' + textureName;
}

TrialOutcome TrialLoadModel(const std::string& path) {
  TrialOutcome outcome;
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, ModelImportFlags());
  if (!scene || scene->mFlags == AI_SCENE_FLAGS_INCOMPLETE || !scene->mRootNode) {
    outcome.error = importer.GetErrorString();
    return outcome;
  }
  std::set<std::string> seen;
  float sum = 0.0f;
  WalkNode(scene->mRootNode, scene, path, seen, outcome, sum);
  walkSink = sum;
  outcome.loaded = true;
  return outcome;
}

TrialOutcome TrialLoadImage(const std::string& path) {
  TrialOutcome outcome;
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels = SOIL_load_image(path.c_str(), &width, &height, &channels, SOIL_LOAD_RGB);
  outcome.loaded = pixels && width > 0 && height > 0;
  if (!outcome.loaded) outcome.error = SOIL_last_result();
  if (pixels) SOIL_free_image_data(pixels);
  return outcome;
}

TrialOutcome TrialLoadFont(const std::string& path) {
  TrialOutcome outcome;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0) return outcome;
  if (FT_New_Face(library, path.c_str(), 0, &face) == 0) {
    outcome.loaded = true;
    FT_Set_Pixel_Sizes(face, 0, kGlyphPixelHeight);
    for (int code = 0; code < kGlyphCount; ++code) {
      FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER);
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return outcome;
}
