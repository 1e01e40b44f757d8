// decoders.cpp: Assimp, SOIL and FreeType as the loaders call them (the byte forms are in
// byte_form.cpp).
#include "trial/decoders.h"

#include <SOIL/SOIL.h>
#include <assimp/MemoryIOWrapper.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <ft2build.h>

#include <assimp/IOSystem.hpp>
#include <assimp/Importer.hpp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include FT_FREETYPE_H

#include "trial/limits.h"
#include "trial/safe_file.h"

namespace {

constexpr std::size_t kDecoderPadding = std::size_t{64} << 10;

// Assimp's file access, answered from memory: the one file it was given exists, nothing else
// does. Assimp reads through this interface only, so its messages (which name the file) and
// its choice of format by the file's extension stay exactly as with a file on disk.
class OneFileSystem : public Assimp::IOSystem {
 public:
  OneFileSystem(const std::string& path, const std::string& bytes, bool readable)
      : path_(path), bytes_(bytes), readable_(readable) {}
  bool Exists(const char* file) const override { return readable_ && path_ == file; }
  char getOsSeparator() const override { return '/'; }
  Assimp::IOStream* Open(const char* file, const char* mode) override {
    if (!Exists(file) || !mode || mode[0] != 'r') return nullptr;
    // The wrapper reads the buffer in place; the bytes outlive the import.
    return new Assimp::MemoryIOStream(reinterpret_cast<const uint8_t*>(bytes_.data()),
                                      bytes_.size(), false);
  }
  void Close(Assimp::IOStream* stream) override { delete stream; }

 private:
  const std::string& path_;
  const std::string& bytes_;
  bool readable_;
};

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

// The walk stops one mesh past the game's cap: the loader refuses such a model anyway, and a
// file whose nodes instance one mesh tens of thousands of times must not make a payload of
// every copy.
void VisitNode(const aiNode* node, const aiScene* scene, DecodedModel& model) {
  for (unsigned int i = 0; i < node->mNumMeshes; ++i) {
    if (model.meshes.size() > kMaxModelMeshes) return;
    const unsigned int meshIndex = node->mMeshes[i];
    // An incomplete scene may name meshes it does not hold; skip those.
    if (meshIndex >= scene->mNumMeshes || !scene->mMeshes[meshIndex]) continue;
    model.meshes.push_back(ConvertMesh(scene->mMeshes[meshIndex], scene));
  }
  for (unsigned int i = 0; i < node->mNumChildren && model.meshes.size() <= kMaxModelMeshes; ++i) {
    if (node->mChildren[i]) VisitNode(node->mChildren[i], scene, model);
  }
}

}  // namespace

std::string ModelTexturePath(const std::string& modelPath, const std::string& textureName) {
  return modelPath.substr(0, modelPath.find_last_of('/')) + '/' + textureName;
}

DecodedModel DecodeModel(const std::string& path, const std::string& bytes, bool readable) {
  DecodedModel model;
  // No other post-processing: normals are not generated, vertices not joined or transformed.
  Assimp::Importer importer;
  importer.SetIOHandler(new OneFileSystem(path, bytes, readable));  // the importer owns it
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

DecodedPixels DecodeImage(const std::string& bytes) {
  DecodedPixels image;
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) return image;
  // SOIL's reader from memory trusts the lengths inside the file and reads past the end of a
  // cut one; zeros after the bytes make such a read find nothing instead of the heap.
  std::vector<unsigned char> padded(bytes.size() + kDecoderPadding, 0);
  std::memcpy(padded.data(), bytes.data(), bytes.size());
  int channels = 0;  // what the file had; we always ask for RGB
  unsigned char* pixels =
      SOIL_load_image_from_memory(padded.data(), static_cast<int>(bytes.size()), &image.width,
                                  &image.height, &channels, SOIL_LOAD_RGB);
  if (pixels && image.width > 0 && image.height > 0) {
    image.rgb.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height * 3);
  } else {
    image.width = image.height = 0;
  }
  if (pixels) SOIL_free_image_data(pixels);
  return image;
}

DecodedFont DecodeFont(const std::string& bytes) {
  DecodedFont font;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  font.libraryReady = FT_Init_FreeType(&library) == 0;
  // FreeType reads the face from the buffer in place; `bytes` outlives the face.
  font.faceReady = font.libraryReady && !bytes.empty() &&
                   FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.data()),
                                      static_cast<FT_Long>(bytes.size()), 0, &face) == 0;
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

DecodedModel DecodeModelFile(const std::string& path) {
  std::string bytes;
  const RunFileStatus status = ReadRunFile(path, kMaxModelFileBytes, bytes);
  if (status == RunFileStatus::Read || status == RunFileStatus::Missing) {
    return DecodeModel(path, bytes, status == RunFileStatus::Read);
  }
  DecodedModel refused;
  refused.error = "Did not import " + path + ": " + RunFileWords(status);
  return refused;
}

DecodedPixels DecodeImageFile(const std::string& path) {
  std::string bytes;
  ReadRunFile(path, kMaxImageFileBytes, bytes);
  return DecodeImage(bytes);
}

DecodedPixels DecodeTextureFile(const std::string& folder, const std::string& name) {
  std::string bytes;
  ReadRunFileInside(folder, name, kMaxImageFileBytes, bytes);
  return DecodeImage(bytes);
}

DecodedFont DecodeFontFile(const std::string& path) {
  std::string bytes;
  ReadRunFile(path, kMaxFontFileBytes, bytes);
  return DecodeFont(bytes);
}

DecodedSound DecodeSoundFile(const std::string& path) {
  std::string bytes;
  const RunFileStatus status = ReadRunFile(path, kMaxSoundFileBytes, bytes);
  if (status != RunFileStatus::Read) {
    DecodedSound refused;
    refused.error = RunFileWords(status);
    return refused;
  }
  return DecodeSound(bytes);
}
