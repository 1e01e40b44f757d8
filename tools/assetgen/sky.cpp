// sky.cpp: the sky box, the water's ripple map and the pool floor.
//
// The sky is a function of direction only, and each face pixel is coloured by the direction
// GL's cube-map rules assign to it, so the six faces meet without seams by construction.
#include <cmath>

#include "models.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// The sun sits where the game's light is: towards (50, 10, 50).
const glm::vec3 kSun = glm::normalize(glm::vec3(50.0f, 10.0f, 50.0f));

// Distant hills: a silhouette height (radians of elevation) that repeats around the horizon.
float HillHeight(float azimuth) {
  float h = 0.018f;
  h += 0.012f * std::sin(3 * azimuth + 0.4f) + 0.008f * std::sin(7 * azimuth + 1.9f);
  h += 0.005f * std::sin(13 * azimuth + 0.7f) + 0.003f * std::sin(29 * azimuth + 2.3f);
  return h;
}

}  // namespace

glm::vec3 SkyColour(glm::vec3 d) {
  const float elevation = std::asin(glm::clamp(d.y, -1.0f, 1.0f));
  const float azimuth = std::atan2(d.z, d.x);
  // A deep blue with grey-bottomed clouds: the HUD's white lines are drawn over this sky, so
  // nothing but the sun's disc and its halo is near white. The seat view looks down, so its top
  // line lies on the few degrees just above the far wall: the horizon stays a mid blue and the
  // hills there a muted green-grey, at any heading, the sun's side included.
  const glm::vec3 zenith = Rgb(34, 84, 164), horizon = Rgb(80, 114, 166);
  const glm::vec3 haze = Rgb(150, 168, 186);
  const float sunDot = glm::dot(d, kSun);

  glm::vec3 c;
  if (elevation >= 0.0f) {
    const float h = std::pow(1.0f - std::min(1.0f, d.y), 3.0f);
    c = glm::mix(zenith, horizon, h);
    // Clouds: value noise on a plane above the world, thinning out towards the horizon.
    const glm::vec2 q = glm::vec2(d.x, d.z) / (d.y + 0.12f);
    const float n = Fbm2(q * 1.6f + glm::vec2(7.3f, 2.1f), 6, 901);
    const float cover = SmoothStep(0.5f, 0.72f, n) * SmoothStep(0.01f, 0.16f, d.y);
    const float lit =
        Fbm2(q * 1.6f + glm::vec2(7.3f, 2.1f) + glm::vec2(kSun.x, kSun.z) * 0.05f, 4, 901);
    const glm::vec3 cloud = glm::mix(Rgb(104, 112, 132), Rgb(180, 184, 194),
                                     glm::clamp(0.55f + 2.5f * (n - lit), 0.0f, 1.0f));
    c = glm::mix(c, cloud, cover * 0.85f);
  } else {
    // Below the horizon: hazy fields, darker looking down.
    const float depth = std::min(1.0f, -d.y * 3.0f);
    const float n = Fbm2(glm::vec2(d.x, d.z) / (-d.y + 0.05f) * 4.0f, 4, 902);
    c = glm::mix(Rgb(122, 138, 112), Rgb(84, 100, 74), depth) * (0.9f + 0.15f * n);
    c = glm::mix(c, haze, std::pow(1.0f - depth, 6.0f));
  }
  // Hills along the horizon, fading into the haze.
  const float hill = HillHeight(azimuth);
  if (elevation < hill && elevation > -0.03f) {
    const float fade = SmoothStep(hill, -0.03f, elevation);
    c = glm::mix(Rgb(100, 118, 124), Rgb(80, 98, 86), fade * 0.7f);
  }
  // Sun disc, a tight halo, and a broad glow that fades out towards the horizon (the low sun
  // would otherwise pale the strip above the far wall where the HUD's top line lies).
  const float toSun = std::max(0.0f, sunDot);
  c += Rgb(255, 236, 200) * (0.4f * std::pow(toSun, 400.0f));
  c += Rgb(255, 236, 200) * (0.25f * std::pow(toSun, 24.0f) * SmoothStep(0.0f, 0.25f, d.y));
  if (sunDot > 0.9995f) c = Rgb(255, 252, 240);
  return c;
}

glm::vec3 CubeFaceDirection(int face, float s, float t) {
  const float sc = 2 * s - 1, tc = 2 * t - 1;
  switch (face) {
    case 0:
      return glm::normalize(glm::vec3(1, -tc, -sc));
    case 1:
      return glm::normalize(glm::vec3(-1, -tc, sc));
    case 2:
      return glm::normalize(glm::vec3(sc, 1, tc));
    case 3:
      return glm::normalize(glm::vec3(sc, -1, -tc));
    case 4:
      return glm::normalize(glm::vec3(sc, -tc, 1));
    default:
      return glm::normalize(glm::vec3(-sc, -tc, -1));
  }
}

std::vector<NamedImage> MakeSkybox() {
  const char* names[6] = {"posx", "negx", "posy", "negy", "posz", "negz"};
  const int size = 512;
  std::vector<NamedImage> faces;
  for (int f = 0; f < 6; ++f) {
    Image img(size, size);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        // 2 x 2 samples per pixel keep the cloud edges and hills smooth.
        glm::vec3 sum(0);
        for (int k = 0; k < 4; ++k) {
          const float s = (x + 0.25f + 0.5f * (k & 1)) / size;
          const float t = (y + 0.25f + 0.5f * (k >> 1)) / size;
          sum += SkyColour(CubeFaceDirection(f, s, t));
        }
        img.At(x, y) = sum * 0.25f;
      }
    faces.push_back({std::string("textures/skybox/") + names[f] + ".jpg", std::move(img)});
  }
  return faces;
}

NamedImage MakeWaterImage() {
  // A tangent-space normal map of small ripples, tileable: red = x slope, green = slope along
  // the image rows, blue = up, each as 0.5 + 0.5 * component.
  const int size = 256;
  Image img(size, size);
  struct Wave {
    int kx, ky;
    float amp, phase;
  };
  Rng rng(0x3A7E5);
  std::vector<Wave> waves;
  for (int i = 0; i < 14; ++i) {
    int kx = static_cast<int>(rng.Range(-9, 10)), ky = static_cast<int>(rng.Range(-9, 10));
    if (kx == 0 && ky == 0) kx = 3;
    const float k = std::sqrt(static_cast<float>(kx * kx + ky * ky));
    waves.push_back({kx, ky, 0.05f / k, rng.Range(0, 2 * kPi)});
  }
  auto height = [&](float u, float v) {
    float h = 0;
    for (const Wave& w : waves) h += w.amp * std::sin(2 * kPi * (w.kx * u + w.ky * v) + w.phase);
    h += 0.012f * Fbm2({u * 16.0f, v * 16.0f}, 3, 303, 16);
    return h;
  };
  const float e = 1.0f / size;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      const float dx = (height(u + e, v) - height(u - e, v)) / (2 * e);
      const float dy = (height(u, v + e) - height(u, v - e)) / (2 * e);
      const glm::vec3 n = glm::normalize(glm::vec3(-dx * 0.35f, -dy * 0.35f, 1.0f));
      img.At(x, y) = n * 0.5f + 0.5f;
    }
  return {"textures/defaultwater.png", std::move(img)};
}

NamedImage MakeGroundImage() {
  // Pool floor: 16 x 16 tiles with a dark lane line down the middle; the game mirrors the image
  // at every repeat, and the grout lines sit symmetrically at the image edges so the mirrored
  // copies continue the grid.
  const int size = 512;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int tx = x / 32, ty = y / 32;
      const float fx = (x % 32 + 0.5f) / 32, fy = (y % 32 + 0.5f) / 32;
      const float h = Hash2(tx, ty, 401);
      glm::vec3 c = glm::mix(Rgb(150, 206, 222), Rgb(176, 222, 234), h);
      if (tx == 7 || tx == 8) c = glm::mix(Rgb(24, 58, 120), Rgb(32, 70, 136), h);
      c *= 0.94f + 0.08f * Fbm2({(x + 0.5f) / 64.0f, (y + 0.5f) / 64.0f}, 3, 402, 8);
      const float edge = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
      c = glm::mix(Rgb(120, 150, 156), c, SmoothStep(0.03f, 0.08f, edge));
      img.At(x, y) = c;
    }
  return {"textures/ground.jpg", std::move(img)};
}
