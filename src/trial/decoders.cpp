// decoders.cpp: Assimp, SOIL and FreeType as the loaders call them, and the byte forms.
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

// ---- byte forms --------------------------------------------------------------------------

void PutU64(std::string& out, std::uint64_t value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutBytes(std::string& out, const void* data, std::size_t size) {
  PutU64(out, size);
  out.append(static_cast<const char*>(data), size);
}

// Reads from a byte string, refusing any length that runs past its end.
struct ByteReader {
  const std::string& bytes;
  std::size_t at = 0;

  bool U64(std::uint64_t& value) {
    if (bytes.size() - at < sizeof value) return false;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    at += sizeof value;
    return true;
  }
  // A length-prefixed run of `T`, read into `out`.
  template <typename T>
  bool Array(std::vector<T>& out) {
    std::uint64_t size = 0;
    if (!U64(size) || size > bytes.size() - at || size % sizeof(T) != 0) return false;
    out.resize(size / sizeof(T));
    // Vertex and the index type are plain bytes in memory, as in the GL buffer.
    if (size) std::memcpy(static_cast<void*>(out.data()), bytes.data() + at, size);
    at += size;
    return true;
  }
  bool String(std::string& out) {
    std::uint64_t size = 0;
    if (!U64(size) || size > bytes.size() - at) return false;
    out.assign(bytes, at, size);
    at += size;
    return true;
  }
};

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

std::string SerializeModel(const DecodedModel& model) {
  std::string out(1, model.loaded ? 'L' : 'F');
  PutBytes(out, model.error.data(), model.error.size());
  PutU64(out, model.meshes.size());
  for (const DecodedMesh& mesh : model.meshes) {
    PutBytes(out, mesh.vertices.data(), mesh.vertices.size() * sizeof(Vertex));
    PutBytes(out, mesh.indices.data(), mesh.indices.size() * sizeof(unsigned int));
    PutU64(out, mesh.textures.size());
    for (const auto& [stem, name] : mesh.textures) {
      PutBytes(out, stem.data(), stem.size());
      PutBytes(out, name.data(), name.size());
    }
  }
  return out;
}

bool ParseModel(const std::string& bytes, DecodedModel& model) {
  model = DecodedModel{};
  if (bytes.empty()) return false;
  ByteReader reader{bytes, 1};
  model.loaded = bytes[0] == 'L';
  std::uint64_t meshCount = 0;
  if (!reader.String(model.error) || !reader.U64(meshCount)) return false;
  for (std::uint64_t m = 0; m < meshCount; ++m) {
    DecodedMesh mesh;
    std::uint64_t textureCount = 0;
    if (!reader.Array(mesh.vertices) || !reader.Array(mesh.indices) || !reader.U64(textureCount)) {
      return false;
    }
    for (std::uint64_t t = 0; t < textureCount; ++t) {
      std::pair<std::string, std::string> texture;
      if (!reader.String(texture.first) || !reader.String(texture.second)) return false;
      mesh.textures.push_back(std::move(texture));
    }
    model.meshes.push_back(std::move(mesh));
  }
  return reader.at == bytes.size();
}

std::string SerializePixels(const DecodedPixels& pixels) {
  std::string out;
  PutU64(out, static_cast<std::uint64_t>(pixels.width));
  PutU64(out, static_cast<std::uint64_t>(pixels.height));
  PutBytes(out, pixels.rgb.data(), pixels.rgb.size());
  return out;
}

std::string SerializeFont(const DecodedFont& font) {
  std::string out(1, static_cast<char>((font.libraryReady ? 1 : 0) | (font.faceReady ? 2 : 0)));
  PutU64(out, font.glyphs.size());
  for (const DecodedGlyph& glyph : font.glyphs) {
    const std::int64_t fields[] = {glyph.loaded, glyph.width, glyph.rows,
                                   glyph.left,   glyph.top,   glyph.advance};
    for (std::int64_t field : fields) PutU64(out, static_cast<std::uint64_t>(field));
    PutBytes(out, glyph.bitmap.data(), glyph.bitmap.size());
  }
  return out;
}

bool ParseFont(const std::string& bytes, DecodedFont& font) {
  font = DecodedFont{};
  if (bytes.empty()) return false;
  font.libraryReady = (bytes[0] & 1) != 0;
  font.faceReady = (bytes[0] & 2) != 0;
  ByteReader reader{bytes, 1};
  std::uint64_t count = 0;
  if (!reader.U64(count) || count > static_cast<std::uint64_t>(kGlyphCount)) return false;
  font.glyphs.resize(count);
  for (DecodedGlyph& glyph : font.glyphs) {
    std::uint64_t fields[6];
    for (std::uint64_t& field : fields) {
      if (!reader.U64(field)) return false;
    }
    if (!reader.Array(glyph.bitmap)) return false;
    const auto asInt = [](std::uint64_t v) { return static_cast<std::int64_t>(v); };
    // A glyph is at most a few times the pixel size; anything else is not a glyph.
    const std::int64_t limit = 16 * static_cast<std::int64_t>(kGlyphPixelHeight);
    if (asInt(fields[1]) < 0 || asInt(fields[1]) > limit || asInt(fields[2]) < 0 ||
        asInt(fields[2]) > limit || std::llabs(asInt(fields[3])) > limit ||
        std::llabs(asInt(fields[4])) > limit || fields[5] > 0xFFFFFFFFull ||
        glyph.bitmap.size() != (glyph.bitmap.empty() ? 0 : fields[1] * fields[2])) {
      return false;
    }
    glyph.loaded = fields[0] != 0;
    glyph.width = static_cast<int>(fields[1]);
    glyph.rows = static_cast<int>(fields[2]);
    glyph.left = static_cast<int>(asInt(fields[3]));
    glyph.top = static_cast<int>(asInt(fields[4]));
    glyph.advance = static_cast<unsigned>(fields[5]);
  }
  return reader.at == bytes.size();
}

bool ParsePixels(const std::string& bytes, DecodedPixels& pixels) {
  pixels = DecodedPixels{};
  ByteReader reader{bytes};
  std::uint64_t width = 0, height = 0;
  if (!reader.U64(width) || !reader.U64(height) || !reader.Array(pixels.rgb) ||
      reader.at != bytes.size()) {
    return false;
  }
  // Sizes that do not describe the pixels at hand make an image that did not decode.
  if (width == 0 || height == 0 || width > 65535 || height > 65535 ||
      pixels.rgb.size() != width * height * 3) {
    pixels = DecodedPixels{};
    return true;
  }
  pixels.width = static_cast<int>(width);
  pixels.height = static_cast<int>(height);
  return true;
}
