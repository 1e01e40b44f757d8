// collada_export.cpp: aiScene assembly for Assimp's COLLADA exporter, and the read-back check.
//
// The scene is allocated exactly the way aiScene's destructor frees it (new / new[] for every
// array it owns), so handing it to the exporter and deleting it afterwards is safe.
#include "collada_export.h"

#include <assimp/Exceptional.h>
#include <assimp/fast_atof.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdio>
#include <locale>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

// Unique material names in first-use order, with the meshes' diffuse textures.
std::vector<const MeshData*> MaterialOwners(const ModelData& model) {
  std::vector<const MeshData*> owners;
  for (const auto& m : model.meshes) {
    bool seen = false;
    for (const MeshData* o : owners) seen = seen || o->material == m.material;
    if (!seen) owners.push_back(&m);
  }
  return owners;
}

int MaterialIndex(const std::vector<const MeshData*>& owners, const std::string& name) {
  for (size_t i = 0; i < owners.size(); ++i)
    if (owners[i]->material == name) return static_cast<int>(i);
  return -1;
}

// Assimp writes floats with 9 significant digits and reads them back with its own fast
// parser, which is not correctly rounded: a value can come back an ulp or two away, and tiny
// values written with exponents drift further. So every value is snapped to one the text round
// trip reproduces exactly; the file then delivers exactly what we meant.
struct ParseError : std::runtime_error {
  template <typename... Parts>
  explicit ParseError(Parts&&...) : std::runtime_error("unparsable number") {}
};

float ReadBack(float x) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(ASSIMP_AI_REAL_TEXT_PRECISION);
  out << x;
  const std::string text = out.str();
  float back = 0.0f;
  Assimp::fast_atoreal_move<float, ParseError>(text.c_str(), back);
  return back;
}

float FileFloat(float x) {
  if (std::fabs(x) < 1e-4f) return 0.0f;  // avoid exponent notation altogether
  for (int i = 0; i < 8; ++i) {
    const float back = ReadBack(x);
    if (back == x) return x;
    x = back;
  }
  throw std::runtime_error("no float survives the text round trip near " + std::to_string(x));
}

aiVector3D FileVector(glm::vec3 v) {
  return {FileFloat(v.x), FileFloat(v.y), FileFloat(v.z)};
}

// File v of a texture coordinate: the game's import flips v back to t.
float FileV(float t) {
  return FileFloat(1.0f - t);
}

std::unique_ptr<aiScene> BuildScene(const ModelData& model) {
  auto scene = std::make_unique<aiScene>();
  const auto owners = MaterialOwners(model);

  scene->mNumMaterials = static_cast<unsigned>(owners.size());
  scene->mMaterials = new aiMaterial*[owners.size()]();  // null until filled
  for (size_t i = 0; i < owners.size(); ++i) {
    auto* mat = new aiMaterial();
    aiString name(owners[i]->material);
    mat->AddProperty(&name, AI_MATKEY_NAME);
    aiString diffuse(owners[i]->diffuse);
    mat->AddProperty(&diffuse, AI_MATKEY_TEXTURE_DIFFUSE(0));
    const aiColor3D white(1.0f, 1.0f, 1.0f);
    mat->AddProperty(&white, 1, AI_MATKEY_COLOR_DIFFUSE);
    scene->mMaterials[i] = mat;
  }

  scene->mNumMeshes = static_cast<unsigned>(model.meshes.size());
  scene->mMeshes = new aiMesh*[model.meshes.size()]();
  for (size_t i = 0; i < model.meshes.size(); ++i) {
    const MeshData& src = model.meshes[i];
    auto* mesh = new aiMesh();
    scene->mMeshes[i] = mesh;
    mesh->mName = aiString(src.name);
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mMaterialIndex = static_cast<unsigned>(MaterialIndex(owners, src.material));
    const unsigned nv = static_cast<unsigned>(src.positions.size());
    mesh->mNumVertices = nv;
    mesh->mVertices = new aiVector3D[nv];
    mesh->mNormals = new aiVector3D[nv];
    mesh->mTextureCoords[0] = new aiVector3D[nv];
    mesh->mNumUVComponents[0] = 2;
    for (unsigned v = 0; v < nv; ++v) {
      const glm::vec3 p = src.positions[v], n = src.normals[v];
      mesh->mVertices[v] = FileVector(p);
      mesh->mNormals[v] = FileVector(n);
      mesh->mTextureCoords[0][v] = aiVector3D(FileFloat(src.uvs[v].x), FileV(src.uvs[v].y), 0.0f);
    }
    const unsigned nf = static_cast<unsigned>(src.indices.size() / 3);
    mesh->mNumFaces = nf;
    mesh->mFaces = new aiFace[nf];
    for (unsigned f = 0; f < nf; ++f) {
      mesh->mFaces[f].mNumIndices = 3;
      mesh->mFaces[f].mIndices = new unsigned[3];
      for (int k = 0; k < 3; ++k) mesh->mFaces[f].mIndices[k] = src.indices[f * 3 + k];
    }
  }

  // One node holding every mesh, identity transform.
  scene->mRootNode = new aiNode();
  const std::string stem = model.path.substr(model.path.find_last_of('/') + 1);
  scene->mRootNode->mName = aiString(stem.substr(0, stem.find('.')));
  scene->mRootNode->mNumMeshes = scene->mNumMeshes;
  scene->mRootNode->mMeshes = new unsigned[scene->mNumMeshes];
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) scene->mRootNode->mMeshes[i] = i;
  return scene;
}

bool SameBits(float a, float b) {
  return a == b;
}

std::string Show(float got, float want) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %.9g/%.9g", got, want);
  return buf;
}

}  // namespace

std::string ExportCollada(const ModelData& model, const std::string& path) {
  std::unique_ptr<aiScene> scene;
  try {
    scene = BuildScene(model);
  } catch (const std::exception& e) {
    return e.what();
  }
  Assimp::Exporter exporter;
  if (exporter.Export(scene.get(), "collada", path) != AI_SUCCESS)
    return std::string("collada export failed: ") + exporter.GetErrorString();
  return "";
}

std::string VerifyCollada(const ModelData& model, const std::string& path) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_FlipUVs);
  if (!scene || scene->mFlags == AI_SCENE_FLAGS_INCOMPLETE || !scene->mRootNode)
    return std::string("import failed: ") + importer.GetErrorString();

  // Walk the nodes depth first, like the game; the meshes must come back in order.
  std::vector<const aiMesh*> meshes;
  std::vector<const aiNode*> stack{scene->mRootNode};
  while (!stack.empty()) {
    const aiNode* node = stack.back();
    stack.pop_back();
    if (!node->mTransformation.IsIdentity()) return "a node transform is not the identity";
    for (unsigned i = 0; i < node->mNumMeshes; ++i)
      meshes.push_back(scene->mMeshes[node->mMeshes[i]]);
    for (unsigned i = node->mNumChildren; i-- > 0;) stack.push_back(node->mChildren[i]);
  }
  if (meshes.size() != model.meshes.size()) return "mesh count differs";

  for (size_t i = 0; i < meshes.size(); ++i) {
    const aiMesh* got = meshes[i];
    const MeshData& want = model.meshes[i];
    std::ostringstream where;
    where << "mesh " << want.name << ": ";
    if (!got->HasNormals() || !got->HasTextureCoords(0)) return where.str() + "lost normals/UVs";
    if (got->mNumFaces != want.indices.size() / 3) return where.str() + "face count differs";
    for (unsigned f = 0; f < got->mNumFaces; ++f) {
      if (got->mFaces[f].mNumIndices != 3) return where.str() + "face is not a triangle";
      for (int k = 0; k < 3; ++k) {
        const unsigned gi = got->mFaces[f].mIndices[k];
        const uint32_t wi = want.indices[f * 3 + k];
        const aiVector3D p = got->mVertices[gi], n = got->mNormals[gi];
        const aiVector3D t = got->mTextureCoords[0][gi];
        const aiVector3D wp = FileVector(want.positions[wi]), wn = FileVector(want.normals[wi]);
        const glm::vec2 wt(FileFloat(want.uvs[wi].x), want.uvs[wi].y);
        if (!SameBits(p.x, wp.x) || !SameBits(p.y, wp.y) || !SameBits(p.z, wp.z))
          return where.str() + "position differs at face " + std::to_string(f) + ": " +
                 Show(p.x, wp.x) + Show(p.y, wp.y) + Show(p.z, wp.z);
        if (!SameBits(n.x, wn.x) || !SameBits(n.y, wn.y) || !SameBits(n.z, wn.z))
          return where.str() + "normal differs";
        // The game reads t = 1 - v_file, computed in float.
        if (!SameBits(t.x, wt.x) || !SameBits(t.y, 1.0f - FileV(wt.y)))
          return where.str() + "texture coordinate differs";
      }
    }
    const aiMaterial* mat = scene->mMaterials[got->mMaterialIndex];
    if (aiGetMaterialTextureCount(mat, aiTextureType_DIFFUSE) != 1)
      return where.str() + "expected one diffuse texture";
    aiString tex;
    aiGetMaterialTexture(mat, aiTextureType_DIFFUSE, 0, &tex);
    if (want.diffuse != tex.C_Str()) return where.str() + "diffuse texture name differs";
    if (aiGetMaterialTextureCount(mat, aiTextureType_SPECULAR) != 0)
      return where.str() + "unexpected specular texture";
  }
  return "";
}
