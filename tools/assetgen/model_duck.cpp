// model_duck.cpp: the rubber duck: body, tail and head blended into one smooth field, meshed
// as a star-shaped surface seen from a point inside it, plus an orange beak. The texture is
// painted by following each texel back to the point of the surface it covers, so the eyes and
// wings land exactly where they belong.
//
// Model y runs from -0.2 to about 0.4; placed at y = -0.6 the duck floats with model y = 0.1 at
// the water line.
#include <cmath>

#include "models.h"

namespace {

constexpr float kPi = 3.14159265358979f;
const glm::vec3 kStarCentre(0.0f, 0.12f, 0.0f);
const glm::vec3 kHeadCentre(0.10f, 0.30f, 0.0f);
constexpr float kHeadRadius = 0.115f;
const UvRect kBodyUv{0.0f, 0.0f, 1.0f, 0.8f};
const UvRect kBeakUv{0.05f, 0.86f, 0.95f, 0.98f};

float DuckField(glm::vec3 p) {
  const float body = SdEllipsoid(p, {-0.04f, 0.01f, 0.0f}, {0.24f, 0.21f, 0.20f});
  // The tail: a small ellipsoid tipped up at the back.
  const glm::mat3 tilt = Rotation({0, 0, 1}, -0.7f);
  const glm::vec3 tailCentre(-0.24f, 0.11f, 0.0f);
  const float tail =
      SdEllipsoid(tailCentre + tilt * (p - tailCentre), tailCentre, {0.085f, 0.045f, 0.07f});
  const float head = SdSphere(p, kHeadCentre, kHeadRadius);
  return SmoothMin(SmoothMin(body, tail, 0.05f), head, 0.06f);
}

glm::vec3 Direction(float u, float t) {
  const float az = 2 * kPi * u, pol = kPi * t;
  return {std::sin(pol) * std::cos(az), std::cos(pol), -std::sin(pol) * std::sin(az)};
}

// The outermost point of the surface along the ray from the star centre.
glm::vec3 SurfacePoint(glm::vec3 dir) {
  const float step = 0.004f;
  float lastInside = 0.0f;
  for (float t = step; t < 0.6f; t += step)
    if (DuckField(kStarCentre + dir * t) < 0) lastInside = t;
  float lo = lastInside, hi = lastInside + step;
  for (int i = 0; i < 30; ++i) {
    const float mid = 0.5f * (lo + hi);
    (DuckField(kStarCentre + dir * mid) < 0 ? lo : hi) = mid;
  }
  return kStarCentre + dir * (0.5f * (lo + hi));
}

MeshData Body() {
  const int cols = 24, rows = 14;
  MeshData m;
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= cols; ++c) {
      const float u = static_cast<float>(c) / cols, t = static_cast<float>(r) / rows;
      const glm::vec3 p = SurfacePoint(Direction(u, t));
      m.AddVertex(p, glm::normalize(FieldGradient(DuckField, p, 1e-3f)), kBodyUv.At(u, t));
    }
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const uint32_t a = r * (cols + 1) + c, b = a + 1, d = a + cols + 1, e = d + 1;
      m.AddTriangleFacing(a, b, e);
      m.AddTriangleFacing(a, e, d);
    }
  return m;
}

glm::vec3 EyeCentre(int side) {
  return kHeadCentre + kHeadRadius * glm::normalize(glm::vec3(0.62f, 0.36f, side * 0.70f));
}

Image DuckTexture() {
  const int size = 256;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size, t = (y + 0.5f) / size;
      glm::vec3 c;
      if (t < 0.83f) {
        const float tt = std::min(1.0f, t / 0.8f);
        const glm::vec3 p = SurfacePoint(Direction(u, tt));
        c = Rgb(255, 204, 28) * (0.94f + 0.08f * Fbm3(p * 40.0f, 3, 5));
        // Slightly warmer towards the belly.
        c = glm::mix(c, Rgb(245, 170, 20), SmoothStep(0.05f, -0.15f, p.y) * 0.6f);
        // Wings: a raised outline on each side of the body.
        if (std::fabs(p.z) > 0.08f) {
          const glm::vec2 w((p.x + 0.07f) / 0.12f, (p.y - 0.09f) / 0.065f);
          const float r = glm::length(w) + 0.25f * std::max(0.0f, -w.x) * w.y;
          if (r < 1.0f) c *= 0.93f;
          if (std::fabs(r - 1.0f) < 0.09f) c = Rgb(232, 160, 18);
        }
        for (int side = -1; side <= 1; side += 2) {
          const float d = glm::distance(p, EyeCentre(side));
          if (d < 0.034f) c = Rgb(250, 250, 246);
          if (d < 0.024f) c = Rgb(22, 22, 34);
          const glm::vec3 glint = EyeCentre(side) + glm::vec3(0.004f, 0.009f, 0.0f);
          if (glm::distance(p, glint) < 0.0065f) c = Rgb(255, 255, 255);
        }
      } else {
        c = glm::mix(Rgb(255, 132, 20), Rgb(238, 96, 16), t > 0.92f ? 1.0f : 0.0f);
        c *= 0.95f + 0.05f * std::sin(u * 40.0f);
      }
      img.At(x, y) = c;
    }
  return img;
}

}  // namespace

Asset MakeDuck() {
  MeshData body = Body();
  const glm::mat3 beakAxes = Rotation({0, 0, 1}, -0.15f);
  MeshData beak =
      Ellipsoid({0.215f, 0.268f, 0.0f}, {0.08f, 0.03f, 0.062f}, beakAxes, 10, 5, kBeakUv);
  body.Append(beak);
  body.name = "duck_body";
  body.material = "duck_rubber";
  body.diffuse = "duck.jpg";
  Asset a;
  a.model.path = "assets/duck/duck.dae";
  a.model.meshes.push_back(std::move(body));
  a.images.push_back({"assets/duck/duck.jpg", DuckTexture()});
  return a;
}
