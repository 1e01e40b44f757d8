// model_canoe.cpp: the canoe: a lofted hull (painted outside, cedar strips inside), gunwales,
// small end decks, two seats and a thwart. The bow (+x) is finer and higher than the stern, so
// the boat reads the right way round from any side.
#include <algorithm>
#include <cmath>

#include "models.h"

namespace canoe_layout {

namespace {
constexpr float kMaxHalfBeam = 0.43f;
constexpr float kBeamStation = -0.1f;  // widest point slightly aft of the middle
constexpr float kShellThickness = 0.022f;
constexpr float kSectionExponent = 2.6f;  // superellipse: a firm, fairly flat bottom
}  // namespace

float HalfBeam(float x) {
  const bool fore = x > kBeamStation;
  const float reach = fore ? kHalfLength - kBeamStation : kHalfLength + kBeamStation;
  const float r = std::min(1.0f, std::fabs(x - kBeamStation) / reach);
  return kMaxHalfBeam * std::pow(1.0f - r * r, fore ? 0.62f : 0.5f);
}

float Sheer(float x) {
  const float xn = std::fabs(x) / kHalfLength;
  return 0.14f + (x > 0 ? 0.18f : 0.12f) * xn * xn * xn;
}

float Keel(float x) {
  // Gentle rocker along the length, then the stems: the keel sweeps up in a curve to meet the
  // gunwale a few centimetres below the tips.
  const float xn = std::fabs(x) / kHalfLength;
  const float rocker = kKeelY + 0.05f * xn * xn * xn * xn;
  const float stem = std::pow(xn, 10.0f);
  return rocker + (Sheer(x) - 0.05f - rocker) * stem;
}

// Section point at angle phi in [-pi/2, pi/2] (port gunwale, keel, starboard gunwale).
glm::vec3 Section(float x, float phi, float halfBeam, float keel) {
  const float e = 2.0f / kSectionExponent;
  const float s = std::sin(phi), c = std::cos(phi);
  const float z = halfBeam * (s < 0 ? -1.0f : 1.0f) * std::pow(std::fabs(s), e);
  const float g = Sheer(x);
  const float y = g - (g - keel) * std::pow(std::fabs(c), e);
  return {x, y, z};
}

float InnerHalfBeam(float x) {
  return std::max(0.0f, HalfBeam(x) - kShellThickness);
}
float InnerKeel(float x) {
  return Keel(x) + kShellThickness;
}

float InnerHalfWidth(float x, float y) {
  const float g = Sheer(x), k = InnerKeel(x);
  if (y <= k) return 0.0f;
  if (y >= g) return InnerHalfBeam(x);
  const float c = std::pow((g - y) / (g - k), kSectionExponent / 2.0f);
  const float s = std::sqrt(std::max(0.0f, 1.0f - c * c));
  return InnerHalfBeam(x) * std::pow(s, 2.0f / kSectionExponent);
}

}  // namespace canoe_layout

namespace {

using namespace canoe_layout;
constexpr float kPi = 3.14159265358979f;

// Atlas rows of canoe.jpg.
const UvRect kPaint{0.0f, 0.01f, 1.0f, 0.24f};
const UvRect kCedar{0.0f, 0.26f, 1.0f, 0.74f};
const UvRect kTrim{0.02f, 0.77f, 0.98f, 0.98f};

float StationX(float s) {
  return -kHalfLength + 2 * kHalfLength * (0.5f - 0.5f * std::cos(kPi * s));
}

MeshData Hull() {
  const int stations = 40;
  auto outer = [](float u, float v) {
    const float x = StationX(u);
    return Section(x, (v - 0.5f) * kPi, HalfBeam(x), Keel(x));
  };
  auto inner = [](float u, float v) {
    const float x = StationX(u);
    return Section(x, (v - 0.5f) * kPi, InnerHalfBeam(x), InnerKeel(x));
  };
  MeshData hull = ParametricSurface(outer, stations, 16, kPaint);
  hull.Append(ParametricSurface(inner, stations, 12, kCedar, true));

  // Gunwale tops: flat strips joining the outer and inner shells.
  for (int side = -1; side <= 1; side += 2) {
    MeshData rim;
    for (int i = 0; i <= stations; ++i) {
      const float x = StationX(static_cast<float>(i) / stations);
      const float g = Sheer(x);
      const float su = static_cast<float>(i) / stations;
      rim.AddVertex({x, g, side * HalfBeam(x)}, {0, 1, 0}, kTrim.At(su, 0.1f));
      rim.AddVertex({x, g, side * InnerHalfBeam(x)}, {0, 1, 0}, kTrim.At(su, 0.2f));
    }
    for (int i = 0; i < stations; ++i) {
      const uint32_t a = 2 * i;
      rim.AddTriangleFacing(a, a + 2, a + 3);
      rim.AddTriangleFacing(a, a + 3, a + 1);
    }
    hull.Append(rim);
  }
  return hull;
}

// Small decks closing the last 0.3 m at each end, slightly crowned.
MeshData Decks() {
  MeshData decks;
  for (int end = -1; end <= 1; end += 2) {
    const int steps = 6;
    MeshData d;
    for (int i = 0; i <= steps; ++i) {
      const float x = end * (kHalfLength - 0.32f * (1.0f - static_cast<float>(i) / steps));
      const float g = Sheer(x) - 0.004f, w = InnerHalfBeam(x) + 0.004f;
      const float su = static_cast<float>(i) / steps;
      d.AddVertex({x, g, -w}, {0, 1, 0}, kTrim.At(su, 0.3f));
      d.AddVertex({x, g + 0.012f, 0}, {0, 1, 0}, kTrim.At(su, 0.6f));
      d.AddVertex({x, g, w}, {0, 1, 0}, kTrim.At(su, 0.9f));
    }
    for (int i = 0; i < steps; ++i) {
      const uint32_t a = 3 * i;
      for (int k = 0; k < 2; ++k) {
        d.AddTriangleFacing(a + k, a + k + 3, a + k + 4);
        d.AddTriangleFacing(a + k, a + k + 4, a + k + 1);
      }
    }
    ComputeSmoothNormals(d);
    decks.Append(d);
  }
  return decks;
}

// A plank across the hull between x0 and x1 whose top is at `top`, ending inside the shell.
MeshData Plank(float x0, float x1, float top, float thickness) {
  const float half =
      std::min(InnerHalfWidth(x0, top - thickness), InnerHalfWidth(x1, top - thickness));
  return BoxFullFaces({x0, top - thickness, -half + 0.004f}, {x1, top, half - 0.004f}, kTrim);
}

Image CanoeTexture() {
  const int size = 512;
  Image img(size, size);
  Rng rng(0xC4A0E);
  // Cedar strip tones, one per strip across the inside.
  std::vector<float> stripTone(64);
  for (float& t : stripTone) t = rng.Uniform();
  for (int y = 0; y < size; ++y) {
    const float t = (y + 0.5f) / size;
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size;
      glm::vec3 c;
      if (t < 0.25f) {
        // Painted canvas: deep red with a faint brush texture, wooden outwales at the gunwales
        // and a cream pinstripe just below them.
        const float v = t / 0.25f;  // 0 and 1 at the gunwales, 0.5 at the keel
        const float edge = std::min(v, 1.0f - v);
        const float n = Fbm2({u * 64.0f, v * 12.0f}, 4, 11);
        c = Rgb(148, 26, 22) * (0.88f + 0.24f * n);
        if (edge < 0.085f && edge > 0.07f) c = Rgb(236, 222, 190);
        if (edge < 0.055f) {
          const float grain = Fbm2({u * 8.0f, v * 300.0f}, 3, 12);
          c = Rgb(112, 66, 34) * (0.8f + 0.4f * grain);
        }
      } else if (t < 0.75f) {
        // Cedar strips along the hull.
        const float v = (t - 0.25f) / 0.5f;
        const float sv = v * 48.0f;
        const int strip = static_cast<int>(sv);
        const float inStrip = sv - strip;
        const float tone = stripTone[strip % 64];
        const glm::vec3 light = Rgb(214, 152, 92), dark = Rgb(150, 82, 44);
        const float grain = Fbm2({u * 6.0f + strip * 3.1f, v * 400.0f}, 4, 21);
        const float streak = 0.5f + 0.5f * std::sin((u * 40.0f + grain * 6.0f + strip) * 2.0f);
        c = glm::mix(dark, light, tone) * (0.85f + 0.15f * streak + 0.1f * grain);
        if (inStrip < 0.06f || inStrip > 0.94f) c *= 0.72f;  // the glue line between strips
      } else {
        // Ash trim: seats, gunwales, decks.
        const float v = (t - 0.75f) / 0.25f;
        const float grain = Fbm2({u * 3.0f, v * 60.0f}, 5, 31);
        const float rings = 0.5f + 0.5f * std::sin((v * 30.0f + grain * 8.0f) * 3.0f);
        c = glm::mix(Rgb(132, 86, 46), Rgb(176, 124, 72), 0.4f * rings + 0.6f * grain);
      }
      img.At(x, y) = c;
    }
  }
  return img;
}

}  // namespace

Asset MakeCanoe() {
  MeshData m = Hull();
  m.Append(Decks());
  m.Append(Plank(-0.16f, 0.14f, -0.085f, 0.03f));  // paddler's seat, under the driver's hips
  m.Append(Plank(-1.30f, -1.08f, 0.02f, 0.03f));   // stern seat
  m.Append(Plank(0.94f, 1.01f, Sheer(0.97f) - 0.006f, 0.025f));  // thwart
  m.name = "canoe_hull";
  m.material = "canoe_wood";
  m.diffuse = "canoe.jpg";
  Asset a;
  a.model.path = "assets/canoe.dae";
  a.model.meshes.push_back(std::move(m));
  a.images.push_back({"assets/canoe.jpg", CanoeTexture()});
  return a;
}
