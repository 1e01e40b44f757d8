// model_figures.cpp: the people: the seated driver (no arms), the driver's arms holding a
// beavertail paddle, and the tall chrome statue.
//
// The driver sits at the canoe's origin facing +x: hips at the origin, shoulders at
// (-0.1, 0.48, +-0.2). The game hangs the arms at (-0.1, 0.48, 0.02) in the driver's frame,
// scaled by 0.7 and turned about z between +17.45 and -26.18 degrees, so the arms model has
// its origin on the shoulder line and is built 1/0.7 times larger than it appears.
#include <algorithm>
#include <cmath>

#include "models.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// driver.jpg atlas: 128-pixel swatches in the top half, the face in the bottom half.
UvRect Swatch(int col, int row) {
  const float inset = 3.0f / 512.0f;
  return {col * 0.25f + inset, row * 0.25f + inset, (col + 1) * 0.25f - inset,
          (row + 1) * 0.25f - inset};
}
const UvRect kSkin = Swatch(0, 0), kShirt = Swatch(1, 0), kVest = Swatch(2, 0),
             kTrousers = Swatch(3, 0), kShoes = Swatch(0, 1), kCap = Swatch(1, 1),
             kPaddleWood = Swatch(2, 1), kBlade = Swatch(3, 1);
const UvRect kFace{0.0f, 0.5f + 2.0f / 512.0f, 1.0f, 1.0f - 2.0f / 512.0f};

// The head: an ellipsoid turned half a turn about y so its texture seam sits at the back.
const glm::vec3 kHeadCentre(-0.07f, 0.68f, 0.0f);
const glm::vec3 kHeadRadii(0.10f, 0.115f, 0.088f);
const glm::mat3 kHeadAxes = Rotation({0, 1, 0}, kPi);

// Direction (in the driver's frame) from the head's centre through face texel (u, t).
glm::vec3 HeadDirection(float u, float t) {
  const float az = 2 * kPi * u, pol = kPi * t;
  return kHeadAxes *
         glm::vec3(std::sin(pol) * std::cos(az), std::cos(pol), -std::sin(pol) * std::sin(az));
}

glm::mat3 FrameAlong(glm::vec3 dir) {
  // Columns: a side vector, the direction itself (the ellipsoid's pole axis), a third one;
  // right-handed so the builder's winding stays outward.
  const glm::vec3 d = glm::normalize(dir);
  const glm::vec3 ref = std::fabs(d.y) < 0.9f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0);
  const glm::vec3 w = glm::normalize(glm::cross(d, ref));
  return glm::mat3(glm::cross(d, w), d, w);
}

MeshData Limb(glm::vec3 a, glm::vec3 b, float ra, float rb, UvRect uv, int sides = 10) {
  return Tube({a, b}, {ra, rb}, sides, 5, 3, uv);
}

void Name(MeshData& m, const char* name, const char* file) {
  m.name = name;
  m.material = "driver_clothes";
  m.diffuse = file;
}

// Fabric, skin, wood: gentle noise on a base colour; `weave` adds a cloth cross-hatch.
glm::vec3 SwatchColour(int index, float u, float t) {
  const float n = Fbm2({u * 16.0f, t * 16.0f}, 4, 40 + index, 16);
  const float weave = 0.5f + 0.25f * (std::sin(u * 2 * kPi * 48) + std::sin(t * 2 * kPi * 48));
  switch (index) {
    case 0:
      return Rgb(226, 172, 136) * (0.96f + 0.08f * n);  // skin
    case 1:
      return Rgb(44, 96, 170) * (0.9f + 0.1f * weave + 0.06f * n);  // shirt
    case 2: {  // torso: shirt at the collar and shoulders, life vest below, seam at the back
      if (t < 0.16f) return Rgb(44, 96, 170) * (0.9f + 0.1f * weave + 0.06f * n);
      if (std::fabs(u - 0.5f) < 0.012f) return Rgb(40, 40, 44);                          // zip
      if (std::fabs(t - 0.72f) < 0.03f) return Rgb(34, 34, 38) * (0.9f + 0.1f * weave);  // strap
      const float quilt = std::fabs(std::fmod(t * 7.0f, 1.0f) - 0.5f) > 0.45f ? 0.8f : 1.0f;
      return Rgb(242, 112, 22) * quilt * (0.92f + 0.08f * weave + 0.05f * n);
    }
    case 3:
      return Rgb(58, 66, 84) * (0.88f + 0.14f * weave + 0.06f * n);  // trousers
    case 4:
      return (t > 0.7f ? Rgb(70, 64, 60) : Rgb(222, 220, 212)) * (0.95f + 0.07f * n);
    case 5:
      return Rgb(30, 44, 88) * (0.9f + 0.12f * weave);  // cap
    case 6: {                                           // shaft
      const float grain = Fbm2({u * 2.0f, t * 40.0f}, 4, 47, 2);
      return glm::mix(Rgb(170, 120, 70), Rgb(206, 160, 104), grain);
    }
    default: {  // blade
      const float grain = Fbm2({u * 2.0f, t * 30.0f}, 4, 48, 2);
      glm::vec3 c = glm::mix(Rgb(176, 124, 72), Rgb(214, 168, 110), grain);
      if (t > 0.93f) c = Rgb(40, 36, 34);  // the tip's protective band
      return c;
    }
  }
}

glm::vec3 FaceColour(glm::vec3 d) {
  glm::vec3 c = Rgb(226, 172, 136);
  // Cap over the top, hair showing at the back and sides below it.
  if (d.y > 0.42f - 0.12f * d.x) return Rgb(30, 44, 88);
  if (d.x < -0.1f && d.y > -0.45f) c = Rgb(70, 46, 30);
  if (d.x < 0.2f && d.y > 0.2f) c = Rgb(70, 46, 30);
  for (int side = -1; side <= 1; side += 2) {
    const glm::vec3 eye = glm::normalize(glm::vec3(0.9f, 0.14f, side * 0.38f));
    const float a = std::acos(glm::clamp(glm::dot(d, eye), -1.0f, 1.0f));
    if (a < 0.11f) c = Rgb(245, 245, 240);
    if (a < 0.065f) c = Rgb(50, 40, 36);
    const glm::vec3 brow = glm::normalize(glm::vec3(0.85f, 0.32f, side * 0.4f));
    if (std::acos(glm::clamp(glm::dot(d, brow), -1.0f, 1.0f)) < 0.07f) c = Rgb(80, 54, 36);
  }
  // Mouth: a short arc below the nose.
  if (d.x > 0.8f && std::fabs(d.z) < 0.22f && std::fabs(d.y + 0.36f + 0.4f * d.z * d.z) < 0.03f)
    c = Rgb(170, 80, 70);
  if (d.x > 0.9f && std::fabs(d.z) < 0.07f && d.y < 0.02f && d.y > -0.18f) c *= 0.93f;  // nose
  return c;
}

Image DriverTexture() {
  const int size = 512;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size, t = (y + 0.5f) / size;
      if (t < 0.5f) {
        const int col = x / 128, row = y / 128;
        img.At(x, y) = SwatchColour(row * 4 + col, (x % 128 + 0.5f) / 128, (y % 128 + 0.5f) / 128);
      } else {
        const float ft = glm::clamp((t - kFace.t0) / (kFace.t1 - kFace.t0), 0.0f, 1.0f);
        img.At(x, y) = FaceColour(HeadDirection(u, ft));
      }
    }
  return img;
}

// The torso: one lofted surface from inside the hips to inside the neck, leaning back so the
// shoulders sit at x = -0.1. Seam at the back; t = 0 at the top.
MeshData Torso() {
  struct Station {
    float y, halfWidth, halfDepth, centreX;
  };
  static const Station kStations[] = {
      {0.00f, 0.150f, 0.100f, -0.030f}, {0.10f, 0.140f, 0.095f, -0.045f},
      {0.22f, 0.160f, 0.100f, -0.060f}, {0.34f, 0.185f, 0.115f, -0.080f},
      {0.42f, 0.190f, 0.110f, -0.090f}, {0.47f, 0.170f, 0.095f, -0.095f},
      {0.51f, 0.110f, 0.070f, -0.095f}, {0.54f, 0.050f, 0.045f, -0.090f}};
  const int last = static_cast<int>(sizeof kStations / sizeof kStations[0]) - 1;
  auto fn = [&](float u, float v) {
    const float f = (1.0f - v) * last;
    const int i = std::min(last - 1, static_cast<int>(f));
    const float w = f - i;
    const Station &a = kStations[i], &b = kStations[i + 1];
    const float s = w * w * (3 - 2 * w);  // smooth between stations
    const float y = glm::mix(a.y, b.y, w), hw = glm::mix(a.halfWidth, b.halfWidth, s);
    const float hd = glm::mix(a.halfDepth, b.halfDepth, s), cx = glm::mix(a.centreX, b.centreX, s);
    const float ang = 2 * kPi * u;
    const float c = std::cos(ang), sn = std::sin(ang);
    // A slightly square ellipse: fuller chest and back than a plain ellipse.
    const float e = 0.8f;
    const float pc = (c < 0 ? -1.0f : 1.0f) * std::pow(std::fabs(c), e);
    const float ps = (sn < 0 ? -1.0f : 1.0f) * std::pow(std::fabs(sn), e);
    return glm::vec3(cx - hd * pc, y, -hw * ps);
  };
  return ParametricSurface(fn, 18, 12, kVest);
}

}  // namespace

Asset MakeDriver() {
  MeshData m;
  const glm::mat3 I(1.0f);
  m.Append(Ellipsoid({-0.03f, 0.0f, 0.0f}, {0.12f, 0.09f, 0.16f}, I, 14, 8, kTrousers));
  m.Append(Torso());
  for (int s = -1; s <= 1; s += 2) {
    m.Append(Ellipsoid({-0.1f, 0.47f, s * 0.2f}, {0.065f, 0.06f, 0.065f}, I, 10, 6, kShirt));
    const glm::vec3 hip(0.0f, 0.0f, s * 0.09f), knee(0.40f, 0.15f, s * 0.12f);
    const glm::vec3 ankle(0.68f, -0.09f, s * 0.12f);
    m.Append(Limb(hip, knee, 0.075f, 0.06f, kTrousers));
    m.Append(Limb(knee, ankle, 0.056f, 0.042f, kTrousers));
    m.Append(Ellipsoid({0.73f, -0.115f, s * 0.12f}, {0.11f, 0.038f, 0.048f}, I, 10, 6, kShoes));
    m.Append(Ellipsoid({-0.07f, 0.67f, s * 0.088f}, {0.018f, 0.03f, 0.012f}, I, 6, 4, kSkin));
  }
  m.Append(Limb({-0.09f, 0.46f, 0.0f}, {-0.08f, 0.6f, 0.0f}, 0.046f, 0.044f, kSkin));
  m.Append(Ellipsoid(kHeadCentre, kHeadRadii, kHeadAxes, 18, 12, kFace));
  m.Append(Ellipsoid({0.04f, 0.735f, 0.0f}, {0.085f, 0.012f, 0.075f}, I, 12, 4, kCap));  // brim
  Name(m, "driver_body", "driver.jpg");
  Asset a;
  a.model.path = "assets/driver.dae";
  a.model.meshes.push_back(std::move(m));
  a.images.push_back({"assets/driver.jpg", DriverTexture()});
  return a;
}

namespace arms_layout {
// Shoulders in the arms' frame: the driver's shoulders seen from (-0.1, 0.48, 0.02) at 0.7.
const glm::vec3 kRightShoulder(0.0f, 0.0f, (0.2f - 0.02f) / 0.7f);
const glm::vec3 kLeftShoulder(0.0f, 0.0f, (-0.2f - 0.02f) / 0.7f);
// The paddle: T-grip in front of the chest, blade tip out to starboard and below the water.
const glm::vec3 kGrip(0.42f, 0.12f, 0.28f);
const glm::vec3 kTip(0.55f, -1.45f, 1.15f);
constexpr float kUpperArm = 0.43f, kForearm = 0.40f;
}  // namespace arms_layout

namespace {

// Elbow of a two-bone arm from shoulder to hand, bent towards `pole`.
glm::vec3 Elbow(glm::vec3 shoulder, glm::vec3 hand, glm::vec3 pole, float a, float b) {
  const glm::vec3 axis = hand - shoulder;
  const float d = std::min(glm::length(axis), a + b - 1e-3f);
  const glm::vec3 n = glm::normalize(axis);
  const float along = (a * a - b * b + d * d) / (2 * d);
  const float height = std::sqrt(std::max(0.0f, a * a - along * along));
  const glm::vec3 p = glm::normalize(pole - n * glm::dot(pole, n));
  return shoulder + n * along + p * height;
}

void AddArm(MeshData& m, glm::vec3 shoulder, glm::vec3 hand, glm::vec3 pole) {
  using namespace arms_layout;
  const glm::vec3 elbow = Elbow(shoulder, hand, pole, kUpperArm, kForearm);
  const glm::vec3 wrist = hand + glm::normalize(elbow - hand) * 0.06f;
  m.Append(Limb(shoulder, elbow, 0.068f, 0.058f, kShirt));
  m.Append(Limb(elbow, wrist, 0.054f, 0.042f, kSkin));
  m.Append(Ellipsoid(hand, {0.05f, 0.07f, 0.058f}, FrameAlong(hand - elbow), 10, 6, kSkin));
}

}  // namespace

Asset MakeDriverArms() {
  using namespace arms_layout;
  MeshData m;
  const glm::vec3 d = glm::normalize(kTip - kGrip);
  const glm::vec3 lowerHand = kGrip + 0.3f * (kTip - kGrip);
  AddArm(m, kRightShoulder, lowerHand, {0.2f, -0.6f, 1.0f});
  AddArm(m, kLeftShoulder, kGrip, {1.0f, -0.4f, -0.5f});

  // Paddle: shaft, T-grip, beavertail blade.
  const float bladeLength = 0.66f;
  const glm::vec3 throat = kTip - d * bladeLength;
  m.Append(Tube({kGrip, throat + d * 0.05f}, {0.024f, 0.026f}, 8, 8, 2, kPaddleWood));
  const glm::vec3 across = glm::normalize(glm::cross(d, glm::vec3(0, 0, 1)));
  m.Append(Limb(kGrip - across * 0.07f, kGrip + across * 0.07f, 0.026f, 0.026f, kPaddleWood, 8));
  glm::vec3 w = glm::normalize(glm::cross(d, glm::vec3(1, 0, 0)));
  const glm::mat3 bladeAxes(glm::cross(d, w), -d, -w);  // pole (t = 0) at the throat
  m.Append(Ellipsoid(throat + d * (bladeLength * 0.5f), {0.018f, bladeLength * 0.5f, 0.14f},
                     bladeAxes, 12, 12, kBlade));
  Name(m, "driver_arms", "driver.jpg");
  Asset a;
  a.model.path = "assets/driverArms.dae";
  a.model.meshes.push_back(std::move(m));
  return a;
}

namespace {

// The statue at human scale (1.8 tall, feet at y = 0, facing +z); scaled by 10 afterwards.
float StatueField(glm::vec3 p) {
  float d = 1e9f;
  auto add = [&](float part, float k) { d = SmoothMin(d, part, k); };
  const glm::vec3 q(std::fabs(p.x), p.y, p.z);  // mirrored: both sides from one set of parts
  // Torso.
  add(SdEllipsoid(p, {0, 0.95f, 0}, {0.17f, 0.12f, 0.11f}), 0.04f);
  add(SdEllipsoid(p, {0, 1.12f, 0.01f}, {0.15f, 0.16f, 0.105f}), 0.05f);
  add(SdEllipsoid(p, {0, 1.31f, 0.0f}, {0.19f, 0.16f, 0.115f}), 0.05f);
  add(SdEllipsoid(q, {0.08f, 1.33f, 0.065f}, {0.085f, 0.07f, 0.05f}), 0.03f);
  add(SdSphere(q, {0.195f, 1.425f, -0.01f}, 0.058f), 0.07f);
  add(SdCapsule(p, {0, 1.42f, -0.01f}, {0, 1.56f, 0.0f}, 0.058f, 0.052f), 0.04f);
  // Head.
  add(SdEllipsoid(p, {0, 1.67f, 0.005f}, {0.08f, 0.105f, 0.095f}), 0.02f);
  add(SdEllipsoid(p, {0, 1.6f, 0.035f}, {0.06f, 0.05f, 0.06f}), 0.03f);
  add(SdEllipsoid(p, {0, 1.655f, 0.095f}, {0.016f, 0.026f, 0.022f}), 0.012f);
  // Legs.
  const glm::vec3 hip(0.10f, 0.92f, 0.0f), knee(0.11f, 0.50f, 0.02f), ankle(0.11f, 0.08f, -0.01f);
  add(SdCapsule(q, hip, knee, 0.085f, 0.06f), 0.03f);
  add(SdCapsule(q, knee, ankle, 0.058f, 0.04f), 0.02f);
  add(SdEllipsoid(q, {0.11f, 0.36f, -0.025f}, {0.055f, 0.1f, 0.055f}), 0.03f);
  add(SdCapsule(q, {0.11f, 0.045f, -0.04f}, {0.12f, 0.035f, 0.14f}, 0.042f, 0.034f), 0.03f);
  // Arms, hands on the hips.
  const glm::vec3 shoulder(0.2f, 1.42f, -0.01f), elbow(0.36f, 1.17f, -0.08f);
  const glm::vec3 wrist(0.22f, 0.99f, -0.02f);
  add(SdCapsule(q, shoulder, elbow, 0.052f, 0.043f), 0.025f);
  add(SdCapsule(q, elbow, wrist, 0.043f, 0.032f), 0.02f);
  add(SdEllipsoid(q, {0.19f, 0.955f, 0.005f}, {0.03f, 0.055f, 0.045f}), 0.02f);
  return d;
}

Image ChromeTexture() {
  const int size = 256;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size, t = (y + 0.5f) / size;
      const float brushed = Fbm2({u * 64.0f, t * 2.0f}, 3, 77, 0);
      img.At(x, y) = Rgb(196, 200, 206) * (0.9f + 0.14f * brushed);
    }
  return img;
}

}  // namespace

Asset MakeStatue() {
  MeshData m = SurfaceNets(StatueField, {-0.46f, -0.04f, -0.22f}, {0.46f, 1.84f, 0.26f}, 0.021f);
  const float scale = 10.0f;
  for (size_t i = 0; i < m.positions.size(); ++i) {
    glm::vec3& p = m.positions[i];
    m.uvs[i] = {p.x / 1.0f + 0.5f, (1.8f - p.y) / 1.8f};
    p = p * scale + glm::vec3(0.0f, -1.5f, 0.0f);
  }
  m.name = "budman_body";
  m.material = "budman_chrome";
  m.diffuse = "budman.jpg";
  Asset a;
  a.model.path = "assets/budman.dae";
  a.model.meshes.push_back(std::move(m));
  a.images.push_back({"assets/budman.jpg", ChromeTexture()});
  return a;
}
