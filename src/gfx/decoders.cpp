// decoders.cpp: Assimp, SOIL and FreeType as the loaders call them (the byte forms are in
// byte_form.cpp).
#include "gfx/decoders.h"

#include <SOIL/SOIL.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <ft2build.h>

#include <assimp/Importer.hpp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include FT_FREETYPE_H

#include "gfx/text_renderer.h"

namespace {

DecodedMesh ConvertMesh(const aiMesh* mesh, const aiScene* scene) {
  DecodedMesh out;
  out.vertices.reserve(mesh->mNumVertices);
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
    out.vertices.push_back(vertex);
  }
  for (unsigned int f = 0; f < mesh->mNumFaces; ++f) {
    const aiFace& face = mesh->mFaces[f];
    out.indices.insert(out.indices.end(), face.mIndices, face.mIndices + face.mNumIndices);
  }
  if (mesh->mMaterialIndex < scene->mNumMaterials && scene->mMaterials[mesh->mMaterialIndex]) {
    const aiMaterial* material = scene->mMaterials[mesh->mMaterialIndex];
    const std::pair<aiTextureType, const char*> kinds[] = {
        {aiTextureType_DIFFUSE, "texture_diffuse"}, {aiTextureType_SPECULAR, "texture_specular"}};
    for (const auto& [type, stem] : kinds) {
      for (unsigned int i = 0; i < aiGetMaterialTextureCount(material, type); ++i) {
        aiString name;
        aiGetMaterialTexture(material, type, i, &name);
        out.textures.emplace_back(stem, name.C_Str());
      }
    }
  }
  return out;
}

void VisitNode(const aiNode* node, const aiScene* scene, DecodedModel& model) {
  for (unsigned int i = 0; i < node->mNumMeshes; ++i) {
    const unsigned int meshIndex = node->mMeshes[i];
    // An incomplete scene may name meshes it does not hold; skip those.
    if (meshIndex >= scene->mNumMeshes || !scene->mMeshes[meshIndex]) continue;
    model.meshes.push_back(ConvertMesh(scene->mMeshes[meshIndex], scene));
  }
  for (unsigned int i = 0; i < node->mNumChildren; ++i) {
    if (node->mChildren[i]) VisitNode(node->mChildren[i], scene, model);
  }
}

}  // namespace

std::string ModelTexturePath(const std::string& modelPath, const std::string& textureName) {
  return modelPath.substr(0, modelPath.find_last_of('/')) + '/' + textureName;
}

DecodedModel DecodeModel(const std::string& path) {
  DecodedModel model;
  // No other post-processing: normals are not generated, vertices not joined or transformed.
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_FlipUVs);
  // The flags test is an equality on purpose: a scene with further flags besides
  // "incomplete" is still taken.
  if (!scene || scene->mFlags == AI_SCENE_FLAGS_INCOMPLETE || !scene->mRootNode) {
    model.error = importer.GetErrorString();
    return model;
  }
  model.loaded = true;
  VisitNode(scene->mRootNode, scene, model);
  return model;
}

DecodedPixels DecodeImage(const std::string& path) {
  DecodedPixels image;
  int channels = 0;  // what the file had; we always ask for RGB
  unsigned char* pixels =
      SOIL_load_image(path.c_str(), &image.width, &image.height, &channels, SOIL_LOAD_RGB);
  if (pixels && image.width > 0 && image.height > 0) {
    image.rgb.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height * 3);
  } else {
    image.width = image.height = 0;
  }
  if (pixels) SOIL_free_image_data(pixels);
  return image;
}

DecodedFont DecodeFont(const std::string& path) {
  DecodedFont font;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  font.libraryReady = FT_Init_FreeType(&library) == 0;
  font.faceReady = font.libraryReady && FT_New_Face(library, path.c_str(), 0, &face) == 0;
  if (font.faceReady) {
    FT_Set_Pixel_Sizes(face, 0, kGlyphPixelHeight);
    font.glyphs.resize(kGlyphCount);
    for (int code = 0; code < kGlyphCount; ++code) {
      if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER)) continue;
      DecodedGlyph& glyph = font.glyphs[static_cast<std::size_t>(code)];
      const FT_Bitmap& bitmap = face->glyph->bitmap;
      glyph.loaded = true;
      glyph.width = static_cast<int>(bitmap.width);
      glyph.rows = static_cast<int>(bitmap.rows);
      glyph.left = face->glyph->bitmap_left;
      glyph.top = face->glyph->bitmap_top;
      glyph.advance = static_cast<unsigned>(face->glyph->advance.x);
      // The bytes GL reads for a width x rows upload with byte alignment.
      if (bitmap.buffer) {
        glyph.bitmap.assign(bitmap.buffer,
                            bitmap.buffer + static_cast<std::size_t>(bitmap.width) * bitmap.rows);
      }
    }
  }
  // Only what was created is released.
  if (font.faceReady) FT_Done_Face(face);
  if (font.libraryReady) FT_Done_FreeType(library);
  return font;
}
