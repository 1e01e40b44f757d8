// Run-time data files, read the way the game reads them but without GL: every model through
// Assimp with the game's flags, every image through SOIL, and the sky box's six faces checked
// for seams with GL's cube-map rules.
#include <SOIL/SOIL.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <glm/glm.hpp>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kModels[] = {"assets/duck/duck.dae",  "assets/canoe.dae", "assets/driver.dae",
                               "assets/driverArms.dae", "assets/cube.dae",  "assets/platform2.dae",
                               "assets/pool2.dae",      "assets/pool3.dae", "assets/budman.dae"};

// A decoded image, the way the game's texture loader receives it (packed RGB, first row first).
struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  glm::vec3 At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return glm::vec3(rgb[i], rgb[i + 1], rgb[i + 2]);
  }
  // Nearest texel at texture coordinates (u, t), repeating.
  glm::vec3 Sample(float u, float t) const {
    const float fu = u - std::floor(u), ft = t - std::floor(t);
    return At(std::min(width - 1, static_cast<int>(fu * width)),
              std::min(height - 1, static_cast<int>(ft * height)));
  }
};

Picture Decode(const std::string& path) {
  Picture p;
  int channels = 0;
  unsigned char* data =
      SOIL_load_image(path.c_str(), &p.width, &p.height, &channels, SOIL_LOAD_RGB);
  if (data) {
    p.rgb.assign(data, data + static_cast<size_t>(p.width) * p.height * 3);
    SOIL_free_image_data(data);
  }
  return p;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

const aiScene* Import(Assimp::Importer& importer, const std::string& path) {
  return importer.ReadFile(path, aiProcess_Triangulate | aiProcess_FlipUVs);
}

std::string DiffuseOf(const aiScene* scene, const aiMesh* mesh) {
  aiString name;
  aiGetMaterialTexture(scene->mMaterials[mesh->mMaterialIndex], aiTextureType_DIFFUSE, 0, &name);
  return name.C_Str();
}

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of('/'));
}

}  // namespace

TEST(AssetFiles, EveryModelImportsWithNormalsUvsAndDecodableTextures) {
  for (const char* path : kModels) {
    SCOPED_TRACE(path);
    Assimp::Importer importer;
    const aiScene* scene = Import(importer, path);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    EXPECT_NE(scene->mFlags, static_cast<unsigned>(AI_SCENE_FLAGS_INCOMPLETE));
    ASSERT_NE(scene->mRootNode, nullptr);
    ASSERT_GE(scene->mNumMeshes, 1u);

    // The game applies no node transforms, so the file must not rely on any.
    std::vector<const aiNode*> nodes{scene->mRootNode};
    while (!nodes.empty()) {
      const aiNode* node = nodes.back();
      nodes.pop_back();
      EXPECT_TRUE(node->mTransformation.IsIdentity()) << node->mName.C_Str();
      for (unsigned i = 0; i < node->mNumChildren; ++i) nodes.push_back(node->mChildren[i]);
    }

    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
      const aiMesh* mesh = scene->mMeshes[m];
      ASSERT_TRUE(mesh->HasNormals());
      ASSERT_TRUE(mesh->HasTextureCoords(0));
      EXPECT_EQ(mesh->mPrimitiveTypes, static_cast<unsigned>(aiPrimitiveType_TRIANGLE));
      for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        const aiVector3D n = mesh->mNormals[v];
        ASSERT_NEAR(n.Length(), 1.0f, 2e-3f) << "vertex " << v;
      }
      const aiMaterial* material = scene->mMaterials[mesh->mMaterialIndex];
      ASSERT_GE(aiGetMaterialTextureCount(material, aiTextureType_DIFFUSE), 1u);
      const std::string texture = FolderOf(path) + "/" + DiffuseOf(scene, mesh);
      EXPECT_TRUE(fs::is_regular_file(texture)) << texture;
      const Picture picture = Decode(texture);
      EXPECT_GT(picture.width, 1) << texture;
      EXPECT_GT(picture.height, 1) << texture;
    }
  }
}

TEST(AssetFiles, TexturesLandWhereTheModelsExpectThem) {
  // A texture mapped upside down or into the wrong part of an atlas shows up as the wrong
  // colour under a known part of a model; sample it the way the game does (FlipUVs on import,
  // the image's first row at t = 0).
  struct Case {
    const char* model;
    const char* part;
    std::function<bool(const aiVector3D& p, const aiVector3D& n)> selects;
    std::function<bool(glm::vec3 rgb)> colourOk;
  } const cases[] = {
      {"assets/canoe.dae", "painted bottom of the hull",
       [](const aiVector3D& p, const aiVector3D& n) { return n.y < -0.95f && p.y < -0.15f; },
       [](glm::vec3 c) { return c.r > 100 && c.r > c.g + 60; }},
      {"assets/duck/duck.dae", "yellow back",
       [](const aiVector3D& p, const aiVector3D& n) { return n.y > 0.8f && p.x < -0.05f; },
       [](glm::vec3 c) { return c.r > 200 && c.g > 140 && c.b < 90; }},
      {"assets/duck/duck.dae", "orange beak tip",
       [](const aiVector3D& p, const aiVector3D&) { return p.x > 0.27f; },
       [](glm::vec3 c) { return c.r > 200 && c.g < 150; }},
      {"assets/driver.dae", "cap on top of the head",
       [](const aiVector3D& p, const aiVector3D& n) { return p.y > 0.78f && n.y > 0.7f; },
       [](glm::vec3 c) { return c.b > c.r + 20; }},
      {"assets/driver.dae", "white shoes",
       [](const aiVector3D& p, const aiVector3D& n) { return p.x > 0.76f && n.y > 0.5f; },
       [](glm::vec3 c) { return c.r > 180 && c.g > 180; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + ": " + c.part);
    Assimp::Importer importer;
    const aiScene* scene = Import(importer, c.model);
    ASSERT_NE(scene, nullptr);
    int selected = 0, wrong = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
      const aiMesh* mesh = scene->mMeshes[m];
      const Picture picture = Decode(FolderOf(c.model) + "/" + DiffuseOf(scene, mesh));
      ASSERT_GT(picture.width, 0);
      for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        if (!c.selects(mesh->mVertices[v], mesh->mNormals[v])) continue;
        ++selected;
        const aiVector3D t = mesh->mTextureCoords[0][v];
        if (!c.colourOk(picture.Sample(t.x, t.y))) ++wrong;
      }
    }
    EXPECT_GT(selected, 3);
    EXPECT_LE(wrong, selected / 10) << wrong << " of " << selected << " vertices";
  }
}

TEST(AssetFiles, ImagesAreBaselineJpegOrPlainRgbPng) {
  // The image decoder is old: no progressive JPEGs, no 16-bit, palette or interlaced PNGs.
  std::vector<std::string> images;
  for (const char* dir : {"assets", "textures"})
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      const std::string ext = entry.path().extension().string();
      if (ext == ".jpg" || ext == ".png") images.push_back(entry.path().string());
    }
  ASSERT_GE(images.size(), 8u + 6u + 2u);
  for (const std::string& path : images) {
    SCOPED_TRACE(path);
    const std::vector<unsigned char> bytes = ReadBytes(path);
    ASSERT_GT(bytes.size(), 32u);
    if (fs::path(path).extension() == ".png") {
      ASSERT_EQ(bytes[1], 'P');
      EXPECT_EQ(bytes[24], 8);  // bit depth
      EXPECT_EQ(bytes[25], 2);  // colour type: RGB
      EXPECT_EQ(bytes[28], 0);  // not interlaced
    } else {
      ASSERT_EQ(bytes[0], 0xFF);
      ASSERT_EQ(bytes[1], 0xD8);
      bool baseline = false, progressive = false;
      for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (bytes[i] != 0xFF) continue;
        if (bytes[i + 1] == 0xC0) {
          baseline = true;
          EXPECT_EQ(bytes[i + 4], 8);  // sample precision
          EXPECT_EQ(bytes[i + 9], 3);  // components
          break;
        }
        if (bytes[i + 1] == 0xC2) progressive = true;
      }
      EXPECT_TRUE(baseline);
      EXPECT_FALSE(progressive);
    }
    const Picture picture = Decode(path);
    EXPECT_GE(picture.width, 64);
    EXPECT_GE(picture.height, 64);
  }
}

namespace {

// GL's cube-map face selection: the face (0..5 = +X, -X, +Y, -Y, +Z, -Z) a direction hits and
// the (s, t) it lands on, t = 0 at the face image's first row.
struct FaceHit {
  int face;
  float s, t;
};

FaceHit Select(glm::vec3 r) {
  const glm::vec3 a = glm::abs(r);
  float sc, tc, ma;
  int face;
  if (a.x >= a.y && a.x >= a.z) {
    face = r.x > 0 ? 0 : 1;
    ma = a.x;
    sc = r.x > 0 ? -r.z : r.z;
    tc = -r.y;
  } else if (a.y >= a.z) {
    face = r.y > 0 ? 2 : 3;
    ma = a.y;
    sc = r.x;
    tc = r.y > 0 ? r.z : -r.z;
  } else {
    face = r.z > 0 ? 4 : 5;
    ma = a.z;
    sc = r.z > 0 ? r.x : -r.x;
    tc = -r.y;
  }
  return {face, (sc / ma + 1) * 0.5f, (tc / ma + 1) * 0.5f};
}

// The inverse: a direction through (s, t) of a face; s and t may lie slightly outside [0, 1],
// which reaches across the face's edges.
glm::vec3 Through(int face, float s, float t) {
  const float sc = 2 * s - 1, tc = 2 * t - 1;
  switch (face) {
    case 0:
      return {1, -tc, -sc};
    case 1:
      return {-1, -tc, sc};
    case 2:
      return {sc, 1, tc};
    case 3:
      return {sc, -1, -tc};
    case 4:
      return {sc, -tc, 1};
    default:
      return {-sc, -tc, -1};
  }
}

std::array<Picture, 6> SkyFaces() {
  const char* names[6] = {"posx", "negx", "posy", "negy", "posz", "negz"};
  std::array<Picture, 6> faces;
  for (int f = 0; f < 6; ++f)
    faces[f] = Decode(std::string("textures/skybox/") + names[f] + ".jpg");
  return faces;
}

}  // namespace

TEST(AssetFiles, SkyFaceDirectionsFollowGlCubeMapRules) {
  for (int f = 0; f < 6; ++f)
    for (float s : {0.1f, 0.5f, 0.8f})
      for (float t : {0.2f, 0.5f, 0.9f}) {
        const FaceHit hit = Select(Through(f, s, t));
        EXPECT_EQ(hit.face, f);
        EXPECT_NEAR(hit.s, s, 1e-5f);
        EXPECT_NEAR(hit.t, t, 1e-5f);
      }
}

TEST(AssetFiles, SkyBoxFacesMeetWithoutSeams) {
  const std::array<Picture, 6> faces = SkyFaces();
  const int n = faces[0].width;
  ASSERT_GT(n, 0);
  for (const Picture& p : faces) {
    ASSERT_EQ(p.width, n);
    ASSERT_EQ(p.height, n);
  }
  // For every texel along every edge, step one texel across the edge and compare with the
  // texel of the neighbouring face found there.
  const float texel = 1.0f / n;
  for (int f = 0; f < 6; ++f)
    for (int edge = 0; edge < 4; ++edge) {
      double sum = 0;
      std::vector<float> diffs;
      for (int k = 0; k < n; ++k) {
        const float along = (k + 0.5f) * texel;
        float s = 0, t = 0, sOut = 0, tOut = 0;
        switch (edge) {
          case 0:
            s = 0.5f * texel, t = along, sOut = -0.5f * texel, tOut = along;
            break;
          case 1:
            s = 1 - 0.5f * texel, t = along, sOut = 1 + 0.5f * texel, tOut = along;
            break;
          case 2:
            s = along, t = 0.5f * texel, sOut = along, tOut = -0.5f * texel;
            break;
          default:
            s = along, t = 1 - 0.5f * texel, sOut = along, tOut = 1 + 0.5f * texel;
            break;
        }
        const FaceHit hit = Select(Through(f, sOut, tOut));
        ASSERT_NE(hit.face, f);
        const glm::vec3 mine = faces[f].Sample(s, t);
        const glm::vec3 theirs = faces[hit.face].Sample(hit.s, hit.t);
        const glm::vec3 d = glm::abs(mine - theirs);
        const float diff = std::max(d.r, std::max(d.g, d.b));
        sum += diff;
        diffs.push_back(diff);
      }
      std::sort(diffs.begin(), diffs.end());
      SCOPED_TRACE("face " + std::to_string(f) + " edge " + std::to_string(edge));
      EXPECT_LT(sum / n, 4.0) << "mean difference across the edge";
      EXPECT_LT(diffs[n * 99 / 100], 16.0f) << "99th percentile difference across the edge";
    }
}

TEST(AssetFiles, SkyBoxHasSkyAboveAndGroundBelow) {
  const std::array<Picture, 6> faces = SkyFaces();
  auto mean = [](const Picture& p, int y0, int y1) {
    glm::vec3 sum(0);
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < p.width; ++x) sum += p.At(x, y);
    return sum / static_cast<float>((y1 - y0) * p.width);
  };
  const int n = faces[0].height;
  const glm::vec3 up = mean(faces[2], 0, n), down = mean(faces[3], 0, n);
  EXPECT_GT(up.b, up.r + 40) << "looking up shows a blue sky";
  EXPECT_GT(up.b, down.b + 40) << "looking down shows ground, not sky";
  for (int f : {0, 1, 4, 5}) {
    SCOPED_TRACE("side face " + std::to_string(f));
    const glm::vec3 top = mean(faces[f], 0, n / 8), bottom = mean(faces[f], n - n / 8, n);
    EXPECT_GT(top.b, top.r + 40) << "the first rows look up into the sky";
    EXPECT_GT(top.b, bottom.b + 40) << "the last rows look down at the ground";
  }
}
