// preview.cpp: a tiny z-buffered rasteriser with perspective-correct texturing and one
// directional light, enough to judge shapes, sizes and texture placement.
#include "preview.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <glm/gtc/matrix_transform.hpp>
#include <map>

namespace {

constexpr float kPi = 3.14159265358979f;

struct Canvas {
  int w, h;
  Image colour;
  std::vector<float> depth;
  Canvas(int w_, int h_, glm::vec3 background)
      : w(w_), h(h_), colour(w_, h_), depth(w_ * h_, 1e30f) {
    for (auto& p : colour.pixels) p = background;
  }
};

glm::vec3 Sample(const Image* img, glm::vec2 uv) {
  if (!img) return glm::vec3(0.8f);
  const float u = uv.x - std::floor(uv.x), t = uv.y - std::floor(uv.y);
  const int x = std::min(img->width - 1, static_cast<int>(u * img->width));
  const int y = std::min(img->height - 1, static_cast<int>(t * img->height));
  return img->At(x, y);
}

struct Instance {
  const MeshData* mesh;
  const Image* texture;
  glm::mat4 model;
};

void Draw(Canvas& c, const std::vector<Instance>& items, const glm::mat4& view,
          const glm::mat4& proj) {
  const glm::vec3 light = glm::normalize(glm::vec3(0.5f, 0.8f, 0.6f));
  for (const Instance& it : items) {
    const glm::mat3 nm = glm::transpose(glm::inverse(glm::mat3(it.model)));
    const MeshData& m = *it.mesh;
    for (size_t i = 0; i + 2 < m.indices.size(); i += 3) {
      glm::vec4 clip[3];
      glm::vec3 nrm[3];
      glm::vec2 uv[3];
      for (int k = 0; k < 3; ++k) {
        const uint32_t v = m.indices[i + k];
        clip[k] = proj * view * it.model * glm::vec4(m.positions[v], 1.0f);
        nrm[k] = glm::normalize(nm * m.normals[v]);
        uv[k] = m.uvs[v];
      }
      if (clip[0].w <= 0.01f || clip[1].w <= 0.01f || clip[2].w <= 0.01f) continue;
      glm::vec3 sp[3];
      for (int k = 0; k < 3; ++k) {
        const glm::vec3 ndc = glm::vec3(clip[k]) / clip[k].w;
        sp[k] = {(ndc.x * 0.5f + 0.5f) * c.w, (0.5f - ndc.y * 0.5f) * c.h, ndc.z};
      }
      const float area =
          (sp[1].x - sp[0].x) * (sp[2].y - sp[0].y) - (sp[2].x - sp[0].x) * (sp[1].y - sp[0].y);
      if (area >= 0) continue;  // back face (screen y points down)
      const int x0 =
          std::max(0, static_cast<int>(std::floor(std::min({sp[0].x, sp[1].x, sp[2].x}))));
      const int x1 =
          std::min(c.w - 1, static_cast<int>(std::ceil(std::max({sp[0].x, sp[1].x, sp[2].x}))));
      const int y0 =
          std::max(0, static_cast<int>(std::floor(std::min({sp[0].y, sp[1].y, sp[2].y}))));
      const int y1 =
          std::min(c.h - 1, static_cast<int>(std::ceil(std::max({sp[0].y, sp[1].y, sp[2].y}))));
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
          const float px = x + 0.5f, py = y + 0.5f;
          float b[3];
          for (int k = 0; k < 3; ++k) {
            const glm::vec3 &a = sp[(k + 1) % 3], &bb = sp[(k + 2) % 3];
            b[k] = ((bb.x - a.x) * (py - a.y) - (px - a.x) * (bb.y - a.y)) / area;
          }
          if (b[0] < 0 || b[1] < 0 || b[2] < 0) continue;
          const float z = b[0] * sp[0].z + b[1] * sp[1].z + b[2] * sp[2].z;
          float& d = c.depth[y * c.w + x];
          if (z >= d) continue;
          d = z;
          // Perspective-correct interpolation.
          float wsum = 0;
          glm::vec2 t(0);
          glm::vec3 n(0);
          for (int k = 0; k < 3; ++k) {
            const float wk = b[k] / clip[k].w;
            wsum += wk;
            t += uv[k] * wk;
            n += nrm[k] * wk;
          }
          t /= wsum;
          n = glm::normalize(n);
          const float diffuse = std::max(0.0f, glm::dot(n, light));
          c.colour.At(x, y) = Sample(it.texture, t) * (0.35f + 0.75f * diffuse);
        }
    }
  }
}

// Renders at twice the size and averages 2 x 2 blocks; with `sky` the background is the sky
// box's colour in each pixel's direction.
Image Shoot(const std::vector<Instance>& items, glm::vec3 eye, glm::vec3 target, float fovDeg,
            int w, int h, bool sky = false) {
  Canvas c(w * 2, h * 2, Rgb(40, 44, 52));
  const glm::mat4 view = glm::lookAt(eye, target, glm::vec3(0, 1, 0));
  const glm::mat4 proj =
      glm::perspective(fovDeg * kPi / 180.0f, static_cast<float>(w) / h, 0.05f, 500.0f);
  if (sky) {
    const glm::mat4 inv = glm::inverse(proj * view);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const glm::vec2 ndc((x + 0.5f) / c.w * 2 - 1, 1 - (y + 0.5f) / c.h * 2);
        const glm::vec4 far = inv * glm::vec4(ndc, 1, 1);
        c.colour.At(x, y) = SkyColour(glm::normalize(glm::vec3(far) / far.w - eye));
      }
  }
  Draw(c, items, view, proj);
  Image out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      out.At(x, y) = 0.25f * (c.colour.At(2 * x, 2 * y) + c.colour.At(2 * x + 1, 2 * y) +
                              c.colour.At(2 * x, 2 * y + 1) + c.colour.At(2 * x + 1, 2 * y + 1));
  return out;
}

}  // namespace

std::string RenderPreviews(const std::vector<Asset>& assets, const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(dir, ec);
  std::map<std::string, const Image*> textures;  // by path relative to the output root
  for (const Asset& a : assets)
    for (const NamedImage& img : a.images) textures[img.path] = &img.image;
  auto textureOf = [&](const ModelData& model, const MeshData& mesh) -> const Image* {
    const std::string folder = model.path.substr(0, model.path.find_last_of('/') + 1);
    auto it = textures.find(folder + mesh.diffuse);
    return it == textures.end() ? nullptr : it->second;
  };
  auto instances = [&](const ModelData& model, const glm::mat4& m) {
    std::vector<Instance> out;
    for (const MeshData& mesh : model.meshes) out.push_back({&mesh, textureOf(model, mesh), m});
    return out;
  };
  auto find = [&](const std::string& path) -> const ModelData& {
    for (const Asset& a : assets)
      if (a.model.path == path) return a.model;
    return assets.front().model;
  };

  for (const Asset& a : assets) {
    const glm::vec3 lo = a.model.MinCorner(), hi = a.model.MaxCorner();
    const glm::vec3 centre = (lo + hi) * 0.5f;
    const float radius = glm::length(hi - lo) * 0.5f;
    const glm::vec3 eye = centre + glm::normalize(glm::vec3(0.9f, 0.45f, 1.0f)) * radius * 2.4f;
    Image img = Shoot(instances(a.model, glm::mat4(1)), eye, centre, 45.0f, 480, 360);
    const std::string stem = fs::path(a.model.path).stem().string();
    if (!WritePng(img, (fs::path(dir) / (stem + ".png")).string())) return "cannot write " + dir;
  }

  // The canoe with its crew, placed the way the game places them, at both ends of the stroke.
  for (float angle : {17.453293f, -26.179939f}) {
    std::vector<Instance> items = instances(find("assets/canoe.dae"), glm::mat4(1));
    auto driver = instances(find("assets/driver.dae"), glm::mat4(1));
    items.insert(items.end(), driver.begin(), driver.end());
    glm::mat4 arms = glm::translate(glm::mat4(1), glm::vec3(-0.1f, 0.48f, 0.02f));
    arms = glm::scale(arms, glm::vec3(0.7f));
    arms = glm::rotate(arms, angle * kPi / 180.0f, glm::vec3(0, 0, 1));
    auto armItems = instances(find("assets/driverArms.dae"), arms);
    items.insert(items.end(), armItems.begin(), armItems.end());
    const std::string name = angle > 0 ? "crew_catch.png" : "crew_release.png";
    Image img = Shoot(items, {1.6f, 1.4f, 3.2f}, {0.0f, 0.1f, 0.0f}, 45.0f, 640, 400);
    if (!WritePng(img, (fs::path(dir) / name).string())) return "cannot write " + dir;
    Image side = Shoot(items, {0.2f, 0.3f, 4.0f}, {0.2f, 0.0f, 0.0f}, 40.0f, 640, 400);
    if (!WritePng(side, (fs::path(dir) / ("side_" + name)).string())) return "cannot write " + dir;
  }
  // The whole pool, placed the way the game places everything, with plain water.
  {
    std::vector<Instance> items;
    auto add = [&](const char* path, const glm::mat4& m) {
      auto more = instances(find(path), m);
      items.insert(items.end(), more.begin(), more.end());
    };
    auto at = [](glm::vec3 p) { return glm::translate(glm::mat4(1), p); };
    static MeshData water;
    static Image waterColour(1, 1);
    water = MeshData();
    waterColour.At(0, 0) = Rgb(52, 118, 150);
    const uint32_t a = water.AddVertex({-50, -0.5f, -50}, {0, 1, 0}, {0, 0});
    const uint32_t b = water.AddVertex({50, -0.5f, -50}, {0, 1, 0}, {0, 0});
    const uint32_t cc = water.AddVertex({50, -0.5f, 50}, {0, 1, 0}, {0, 0});
    const uint32_t d = water.AddVertex({-50, -0.5f, 50}, {0, 1, 0}, {0, 0});
    water.AddTriangleFacing(a, cc, b);
    water.AddTriangleFacing(a, d, cc);
    items.push_back({&water, &waterColour, glm::mat4(1)});
    add("assets/pool2.dae", at({0, 0, -50}));
    add("assets/pool2.dae", at({0, 0, 50}));
    add("assets/pool3.dae", at({50, 0, 0}));
    add("assets/pool3.dae", at({-50, 0, 0}));
    add("assets/cube.dae", at({5, -0.25f, 0}));
    add("assets/platform2.dae", at({5, 0, -2}));
    add("assets/duck/duck.dae", at({5, 1.8f, -2}));
    const float ducks[][2] = {{-6, -14}, {12, 4}, {20, -8}, {-14, 6}, {2, -18}, {8, -6}};
    for (const auto& p : ducks) add("assets/duck/duck.dae", at({p[0], -0.6f, p[1]}));
    add("assets/budman.dae", at({0, 0, -70}));
    const glm::mat4 canoe = at({0, -0.3f, 0});
    add("assets/canoe.dae", canoe);
    add("assets/driver.dae", canoe);
    glm::mat4 arms = glm::translate(canoe, glm::vec3(-0.1f, 0.48f, 0.02f));
    arms = glm::scale(arms, glm::vec3(0.7f));
    arms = glm::rotate(arms, 17.453293f * kPi / 180.0f, glm::vec3(0, 0, 1));
    add("assets/driverArms.dae", arms);
    struct Shot {
      const char* name;
      glm::vec3 eye, target;
    } const shots[] = {{"scene_seat_view.png", {-3.42f, 2.0f, 0.0f}, {6.0f, -1.4f, 0.0f}},
                       {"scene_overview.png", {26.0f, 16.0f, 30.0f}, {0.0f, 0.0f, -14.0f}},
                       {"scene_statue.png", {6.0f, 3.0f, 12.0f}, {0.0f, 6.0f, -70.0f}}};
    for (const Shot& s : shots) {
      Image img = Shoot(items, s.eye, s.target, 50.0f, 800, 450, true);
      if (!WritePng(img, (fs::path(dir) / s.name).string())) return "cannot write " + dir;
    }
  }
  return "";
}
