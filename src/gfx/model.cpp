// model.cpp: importing a COLLADA file with Assimp into a flat, drawable list of meshes.
//
// Node transforms are ignored on purpose: the scene graph places every model, so each mesh
// keeps the coordinates its file gives it. The Assimp scene lives only while loading.
#include "gfx/model.h"

#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <iostream>

#include "gfx/file_trial.h"
#include "gfx/texture.h"
#include "gfx/trial_loads.h"

Model::Model(const char* path) {
  Load(path);
}

void Model::Draw(Shader shader) const {
  for (const Mesh& mesh : meshes) mesh.Draw(shader);
}

void Model::Load(std::string path) {
  // A file whose trial run crashed, ran out of memory or hung is never handed to Assimp.
  if (const char* refusal = RefusedFile(path)) {
    std::cout << "ERROR::ASSIMP:: Did not import " << path << ": " << refusal << std::endl;
    return;
  }
  // No other post-processing: normals are not generated, vertices not joined or transformed.
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, ModelImportFlags());
  // The flags test is an equality on purpose: a scene with further flags besides
  // "incomplete" is still taken.
  if (!scene || scene->mFlags == AI_SCENE_FLAGS_INCOMPLETE || !scene->mRootNode) {
    std::cout << "ERROR::ASSIMP:: " << importer.GetErrorString() << std::endl;
    return;
  }
  directory = path.substr(0, path.find_last_of('/'));
  VisitNode(scene->mRootNode, scene);
}

void Model::VisitNode(const aiNode* node, const aiScene* scene) {
  for (unsigned int i = 0; i < node->mNumMeshes; ++i) {
    const unsigned int meshIndex = node->mMeshes[i];
    // An incomplete scene may name meshes it does not hold; skip those.
    if (meshIndex >= scene->mNumMeshes || !scene->mMeshes[meshIndex]) continue;
    meshes.push_back(ConvertMesh(scene->mMeshes[meshIndex], scene));
  }
  for (unsigned int i = 0; i < node->mNumChildren; ++i) {
    if (node->mChildren[i]) VisitNode(node->mChildren[i], scene);
  }
}

Mesh Model::ConvertMesh(const aiMesh* mesh, const aiScene* scene) {
  std::vector<Vertex> vertices;
  vertices.reserve(mesh->mNumVertices);
  const aiVector3D* uvs = mesh->mTextureCoords[0];
  for (unsigned int i = 0; i < mesh->mNumVertices; ++i) {
    Vertex vertex;
    if (mesh->mVertices) {
      vertex.position = glm::vec3(mesh->mVertices[i].x, mesh->mVertices[i].y, mesh->mVertices[i].z);
    }
    // A file may carry no normals and the import makes none; such a mesh gets zero normals.
    vertex.normal = mesh->mNormals
                        ? glm::vec3(mesh->mNormals[i].x, mesh->mNormals[i].y, mesh->mNormals[i].z)
                        : glm::vec3(0.0f);
    vertex.texCoords = uvs ? glm::vec2(uvs[i].x, uvs[i].y) : glm::vec2(0.0f);
    vertices.push_back(vertex);
  }

  std::vector<unsigned int> indices;
  for (unsigned int f = 0; f < mesh->mNumFaces; ++f) {
    const aiFace& face = mesh->mFaces[f];
    indices.insert(indices.end(), face.mIndices, face.mIndices + face.mNumIndices);
  }

  std::vector<Texture> textures;
  if (mesh->mMaterialIndex < scene->mNumMaterials && scene->mMaterials[mesh->mMaterialIndex]) {
    const aiMaterial* material = scene->mMaterials[mesh->mMaterialIndex];
    std::vector<Texture> diffuse =
        CollectMaterialTextures(material, aiTextureType_DIFFUSE, "texture_diffuse");
    std::vector<Texture> specular =
        CollectMaterialTextures(material, aiTextureType_SPECULAR, "texture_specular");
    textures.insert(textures.end(), diffuse.begin(), diffuse.end());
    textures.insert(textures.end(), specular.begin(), specular.end());
  }
  return Mesh(std::move(vertices), std::move(indices), std::move(textures));
}

std::vector<Texture> Model::CollectMaterialTextures(const aiMaterial* material, int type,
                                                    const std::string& typeName) {
  const aiTextureType textureType = static_cast<aiTextureType>(type);
  std::vector<Texture> result;
  for (unsigned int i = 0; i < aiGetMaterialTextureCount(material, textureType); ++i) {
    aiString path;
    aiGetMaterialTexture(material, textureType, i, &path);
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
