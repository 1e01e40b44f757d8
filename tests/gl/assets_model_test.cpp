// The real models through the game's own Model loader and SceneNode boxes: they load silently
// with normals, texture coordinates and decoded textures, and they have the sizes the game's
// constants assume (canoe, duck, cube, platform, walls, statue).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "assets_real_models.h"
#include "gfx/model.h"
#include "scene/scene_node.h"

namespace {

const char* const kPaths[] = {"assets/duck/duck.dae",  "assets/canoe.dae", "assets/driver.dae",
                              "assets/driverArms.dae", "assets/cube.dae",  "assets/platform2.dae",
                              "assets/pool2.dae",      "assets/pool3.dae", "assets/budman.dae"};

GLint TextureWidth(GLuint id) {
  GLint width = 0;
  glBindTexture(GL_TEXTURE_2D, id);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glBindTexture(GL_TEXTURE_2D, 0);
  return width;
}

// Largest |z| of the vertices within 0.1 of x = x0.
float HalfWidthAt(const std::vector<glm::vec3>& points, float x0) {
  float w = 0;
  for (const glm::vec3& p : points)
    if (std::fabs(p.x - x0) < 0.1f) w = std::max(w, std::fabs(p.z));
  return w;
}

// Highest y of the vertices beyond x0 in the direction of `sign`.
float TopBeyond(const std::vector<glm::vec3>& points, float x0, float sign) {
  float top = -1e9f;
  for (const glm::vec3& p : points)
    if ((p.x - x0) * sign > 0) top = std::max(top, p.y);
  return top;
}

float NearestDistance(const std::vector<glm::vec3>& points, glm::vec3 target) {
  float best = 1e9f;
  for (const glm::vec3& p : points) best = std::min(best, glm::distance(p, target));
  return best;
}

}  // namespace

TEST(AssetModels, EveryModelLoadsSilentlyWithNormalsUvsAndDecodedTextures) {
  for (const char* path : kPaths) {
    SCOPED_TRACE(path);
    std::unique_ptr<Model> model;
    const std::string printed = CaptureStdout([&] { model = std::make_unique<Model>(path); });
    EXPECT_EQ(printed, "");
    ASSERT_FALSE(model->meshes.empty());
    for (const Mesh& mesh : model->meshes) {
      ASSERT_FALSE(mesh.vertices.empty());
      EXPECT_EQ(mesh.indices.size() % 3, 0u);
      bool anyUv = false;
      for (const Vertex& v : mesh.vertices) {
        ASSERT_NEAR(glm::length(v.normal), 1.0f, 2e-3f);
        anyUv = anyUv || v.texCoords != glm::vec2(0.0f);
      }
      EXPECT_TRUE(anyUv);
      ASSERT_FALSE(mesh.textures.empty());
      for (const Texture& t : mesh.textures) {
        EXPECT_EQ(t.type, "texture_diffuse");
        EXPECT_NE(t.id, 0u);
        EXPECT_GT(TextureWidth(t.id), 1) << t.path.C_Str() << " did not decode";
      }
    }
  }
}

TEST(AssetModels, StartUpLoadsAllNineSilently) {
  const RealModels& real = LoadRealModels();
  EXPECT_EQ(real.printed, "");
}

TEST(AssetModels, SizesMatchWhatTheGameAssumes) {
  const Models& m = *LoadRealModels().models;
  struct Range {
    float lo, hi;
  };
  struct Case {
    const char* name;
    const Model& model;
    Range size[3];  // extent along x, y, z
    Range lo[3];    // box minimum per axis
    Range hi[3];    // box maximum per axis
  };
  const Range any{-1e9f, 1e9f};
  const Case cases[] = {
      // Canoe: length along x, beam along z, height; origin at seat level inside the hull.
      {"canoe",
       m.canoeModel,
       {{3.0f, 4.0f}, {0.45f, 0.7f}, {0.7f, 1.0f}},
       {{-2.0f, -1.5f}, {-0.4f, -0.01f}, {-0.5f, -0.35f}},
       {{1.5f, 2.0f}, {0.01f, 0.5f}, {0.35f, 0.5f}}},
      // Duck: about 0.6 long, 0.4 wide, y from about -0.2 to +0.4.
      {"duck",
       m.duckModel,
       {{0.5f, 0.7f}, {0.5f, 0.7f}, {0.3f, 0.5f}},
       {any, {-0.25f, -0.15f}, any},
       {any, {0.35f, 0.45f}, any}},
      // Cube: 1 x 1 x 1 around the origin, so its top stands at world y 0.25.
      {"cube",
       m.cubeModel,
       {{0.95f, 1.05f}, {0.95f, 1.05f}, {0.95f, 1.05f}},
       {{-0.52f, -0.48f}, {-0.52f, -0.48f}, {-0.52f, -0.48f}},
       {{0.48f, 0.52f}, {0.48f, 0.52f}, {0.48f, 0.52f}}},
      // Platform: within 2 x 2, top at 1.0 +- 0.2, bottom at or below -1.5.
      {"platform",
       m.platform2Model,
       {any, any, any},
       {{-1.0f, 0.0f}, {-1e9f, -1.5f}, {-1.0f, 0.0f}},
       {{0.0f, 1.0f}, {0.8f, 1.2f}, {0.0f, 1.0f}}},
      // Walls: 2 thick or more, from below -1.6 to above 3.5, spanning the pool's width.
      {"pool2",
       m.pool2Model,
       {{104.0f, 1e9f}, any, {2.0f, 4.0f}},
       {{-1e9f, -52.0f}, {-1e9f, -1.6f}, any},
       {{52.0f, 1e9f}, {3.5f, 1e9f}, any}},
      {"pool3",
       m.pool3Model,
       {{2.0f, 4.0f}, any, {104.0f, 1e9f}},
       {any, {-1e9f, -1.6f}, {-1e9f, -52.0f}},
       {any, {3.5f, 1e9f}, {52.0f, 1e9f}}},
      // Statue: 15 to 25 tall, feet near y = -1.5.
      {"budman",
       m.budmanModel,
       {any, {15.0f, 25.0f}, any},
       {any, {-1.75f, -1.25f}, any},
       {any, any, any}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SceneNode node(&c.model);
    const glm::vec3 lo = node.minCorner, hi = node.MaxCorner();
    for (int axis = 0; axis < 3; ++axis) {
      SCOPED_TRACE("axis " + std::to_string(axis));
      EXPECT_GE(node.size[axis], c.size[axis].lo);
      EXPECT_LE(node.size[axis], c.size[axis].hi);
      EXPECT_GE(lo[axis], c.lo[axis].lo);
      EXPECT_LE(lo[axis], c.lo[axis].hi);
      EXPECT_GE(hi[axis], c.hi[axis].lo);
      EXPECT_LE(hi[axis], c.hi[axis].hi);
    }
  }
  // The walls are centred across their thickness, so both placements close the pool alike.
  const SceneNode pool2(&m.pool2Model), pool3(&m.pool3Model);
  EXPECT_NEAR(pool2.minCorner.z + pool2.MaxCorner().z, 0.0f, 0.01f);
  EXPECT_NEAR(pool3.minCorner.x + pool3.MaxCorner().x, 0.0f, 0.01f);
}

TEST(AssetModels, CanoeBowIsTheNarrowRaisedEndAtPlusX) {
  const Model& canoe = LoadRealModels().models->canoeModel;
  const std::vector<glm::vec3> points = PositionsOf(canoe);
  const SceneNode node(&canoe);
  const float end = node.MaxCorner().x - 0.35f;
  EXPECT_GT(TopBeyond(points, end, 1.0f), TopBeyond(points, -end, -1.0f) + 0.02f)
      << "the bow stands higher than the stern";
  EXPECT_LT(HalfWidthAt(points, end), HalfWidthAt(points, -end))
      << "the bow is finer than the stern";
  EXPECT_LT(HalfWidthAt(points, end), 0.6f * HalfWidthAt(points, 0.0f)) << "the ends are pointed";
}

TEST(AssetModels, CrewSitsOnTheShoulderLine) {
  const Models& m = *LoadRealModels().models;
  const std::vector<glm::vec3> driver = PositionsOf(m.driverModel);
  const std::vector<glm::vec3> arms = PositionsOf(m.driverArmsModel);
  const SceneNode driverNode(&m.driverModel);
  // Hips at the origin, shoulders near (-0.1, 0.48, +-0.2).
  EXPECT_LT(driverNode.minCorner.y, 0.0f);
  EXPECT_GT(driverNode.MaxCorner().y, 0.6f);
  for (float side : {-1.0f, 1.0f}) {
    EXPECT_LT(NearestDistance(driver, {-0.1f, 0.48f, 0.2f * side}), 0.1f);
    // The arms model's shoulders: the same points seen from (-0.1, 0.48, 0.02) at scale 0.7.
    EXPECT_LT(NearestDistance(arms, {0.0f, 0.0f, (0.2f * side - 0.02f) / 0.7f}), 0.12f);
  }
  EXPECT_LT(NearestDistance(driver, {0.0f, 0.0f, 0.0f}), 0.15f) << "hips at the origin";
}

TEST(AssetModels, CurvedModelsHaveSmoothNormals) {
  // Smooth shading: wherever triangle corners share a position they share a normal too (the
  // importer gives every corner its own vertex, so flat shading would show up as disagreement).
  const Models& m = *LoadRealModels().models;
  for (const Model* model : {&m.budmanModel, &m.duckModel}) {
    std::map<std::tuple<float, float, float>, glm::vec3> seen;
    int shared = 0, disagree = 0;
    for (const Mesh& mesh : model->meshes)
      for (const Vertex& v : mesh.vertices) {
        const auto key = std::make_tuple(v.position.x, v.position.y, v.position.z);
        auto it = seen.find(key);
        if (it == seen.end()) {
          seen.emplace(key, v.normal);
          continue;
        }
        ++shared;
        if (glm::distance(it->second, v.normal) > 1e-3f) ++disagree;
      }
    EXPECT_GT(shared, 1000);
    EXPECT_LE(disagree, shared / 100);
  }
}

TEST(AssetModels, StatueFacesPlusZ) {
  const std::vector<glm::vec3> points = PositionsOf(LoadRealModels().models->budmanModel);
  // Feet and face point forward: the front reaches further than the back, at the feet and at
  // the head.
  float footFront = -1e9f, footBack = 1e9f, headFront = -1e9f, headBack = 1e9f;
  for (const glm::vec3& p : points) {
    if (p.y < 0.0f) footFront = std::max(footFront, p.z), footBack = std::min(footBack, p.z);
    if (p.y > 14.0f) headFront = std::max(headFront, p.z), headBack = std::min(headBack, p.z);
  }
  EXPECT_GT(footFront, -footBack + 0.5f);
  EXPECT_GT(headFront, -headBack + 0.1f);
}
