// geometry.cpp: shape builders and the surface-nets polygoniser.
#include "geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>

namespace {

constexpr float kPi = 3.14159265358979f;

// Key for welding vertices that share a position.
struct PosKey {
  int64_t x, y, z;
  bool operator<(const PosKey& o) const { return std::tie(x, y, z) < std::tie(o.x, o.y, o.z); }
};

PosKey KeyOf(glm::vec3 p) {
  const double q = 1e5;
  return {std::llround(p.x * q), std::llround(p.y * q), std::llround(p.z * q)};
}

}  // namespace

uint32_t MeshData::AddVertex(glm::vec3 p, glm::vec3 n, glm::vec2 uv) {
  positions.push_back(p);
  normals.push_back(n);
  uvs.push_back(uv);
  return static_cast<uint32_t>(positions.size() - 1);
}

void MeshData::AddTriangle(uint32_t a, uint32_t b, uint32_t c) {
  const glm::vec3 face = glm::cross(positions[b] - positions[a], positions[c] - positions[a]);
  if (glm::dot(face, face) < 1e-20f) return;
  indices.insert(indices.end(), {a, b, c});
}

void MeshData::AddTriangleFacing(uint32_t a, uint32_t b, uint32_t c) {
  const glm::vec3 face = glm::cross(positions[b] - positions[a], positions[c] - positions[a]);
  if (glm::dot(face, face) < 1e-20f) return;
  const glm::vec3 n = normals[a] + normals[b] + normals[c];
  if (glm::dot(face, n) < 0.0f) std::swap(b, c);
  indices.insert(indices.end(), {a, b, c});
}

void MeshData::Append(const MeshData& other) {
  const uint32_t base = static_cast<uint32_t>(positions.size());
  positions.insert(positions.end(), other.positions.begin(), other.positions.end());
  normals.insert(normals.end(), other.normals.begin(), other.normals.end());
  uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
  for (uint32_t i : other.indices) indices.push_back(base + i);
}

void MeshData::Transform(const glm::mat4& m) {
  const glm::mat3 nm = glm::transpose(glm::inverse(glm::mat3(m)));
  for (auto& p : positions) p = glm::vec3(m * glm::vec4(p, 1.0f));
  for (auto& n : normals) n = glm::normalize(nm * n);
}

size_t ModelData::TriangleCount() const {
  size_t n = 0;
  for (const auto& m : meshes) n += m.TriangleCount();
  return n;
}

glm::vec3 ModelData::MinCorner() const {
  glm::vec3 lo(1e30f);
  for (const auto& m : meshes)
    for (auto p : m.positions) lo = glm::min(lo, p);
  return lo;
}

glm::vec3 ModelData::MaxCorner() const {
  glm::vec3 hi(-1e30f);
  for (const auto& m : meshes)
    for (auto p : m.positions) hi = glm::max(hi, p);
  return hi;
}

void ComputeSmoothNormals(MeshData& mesh) {
  // Where faces around a position cancel out (a sliver folded flat, the two sides of a knife
  // edge), the first face's own normal stands in; a vertex no face uses points up.
  struct Sum {
    glm::dvec3 total{0.0};
    glm::dvec3 first{0.0};
  };
  std::map<PosKey, Sum> sums;
  for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
    const glm::vec3 a = mesh.positions[mesh.indices[i]];
    const glm::vec3 b = mesh.positions[mesh.indices[i + 1]];
    const glm::vec3 c = mesh.positions[mesh.indices[i + 2]];
    const glm::dvec3 face = glm::cross(glm::dvec3(b - a), glm::dvec3(c - a));
    for (int k = 0; k < 3; ++k) {
      Sum& s = sums[KeyOf(mesh.positions[mesh.indices[i + k]])];
      if (glm::length(s.first) == 0.0) s.first = face;
      s.total += face;
    }
  }
  for (size_t v = 0; v < mesh.positions.size(); ++v) {
    auto it = sums.find(KeyOf(mesh.positions[v]));
    glm::dvec3 n(0.0, 1.0, 0.0);
    if (it != sums.end()) {
      const Sum& s = it->second;
      if (glm::length(s.total) > 1e-6 * glm::length(s.first))
        n = s.total;
      else if (glm::length(s.first) > 0.0)
        n = s.first;
    }
    mesh.normals[v] = glm::vec3(glm::normalize(n));
  }
}

MeshData ParametricSurface(const SurfaceFn& fn, int cols, int rows, UvRect uv, bool flip) {
  MeshData m;
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= cols; ++c) {
      const float su = static_cast<float>(c) / cols, sv = static_cast<float>(r) / rows;
      m.AddVertex(fn(su, sv), glm::vec3(0), uv.At(su, sv));
    }
  const int stride = cols + 1;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const uint32_t a = r * stride + c, b = a + 1, d = a + stride, e = d + 1;
      // Split along the shorter diagonal for a smoother silhouette.
      uint32_t t[6] = {a, b, e, a, e, d};
      if (glm::distance(m.positions[a], m.positions[e]) >
          glm::distance(m.positions[b], m.positions[d])) {
        const uint32_t alt[6] = {a, b, d, b, e, d};
        std::copy(alt, alt + 6, t);
      }
      for (int k = 0; k < 6; k += 3) {
        if (flip)
          m.AddTriangle(t[k], t[k + 2], t[k + 1]);
        else
          m.AddTriangle(t[k], t[k + 1], t[k + 2]);
      }
    }
  ComputeSmoothNormals(m);
  return m;
}

MeshData Box(glm::vec3 lo, glm::vec3 hi, float tile, bool skipBottom) {
  MeshData m;
  struct Face {
    glm::vec3 n;
    int ua, va;  // axes spanning the face for texture coordinates
  };
  const Face faces[6] = {{{1, 0, 0}, 2, 1},  {{-1, 0, 0}, 2, 1}, {{0, 1, 0}, 0, 2},
                         {{0, -1, 0}, 0, 2}, {{0, 0, 1}, 0, 1},  {{0, 0, -1}, 0, 1}};
  for (const Face& f : faces) {
    if (skipBottom && f.n.y < 0) continue;
    int axis = f.n.x != 0 ? 0 : (f.n.y != 0 ? 1 : 2);
    const float fixed = (f.n[axis] > 0) ? hi[axis] : lo[axis];
    uint32_t idx[4];
    for (int k = 0; k < 4; ++k) {
      glm::vec3 p;
      p[axis] = fixed;
      p[f.ua] = (k == 1 || k == 2) ? hi[f.ua] : lo[f.ua];
      p[f.va] = (k >= 2) ? hi[f.va] : lo[f.va];
      // Vertical faces: t runs downwards from the top so images stand upright.
      const float tu = p[f.ua] / tile;
      const float tt = (f.va == 1) ? -p[f.va] / tile : p[f.va] / tile;
      idx[k] = m.AddVertex(p, f.n, {tu, tt});
    }
    m.AddTriangleFacing(idx[0], idx[1], idx[2]);
    m.AddTriangleFacing(idx[0], idx[2], idx[3]);
  }
  return m;
}

MeshData BoxFullFaces(glm::vec3 lo, glm::vec3 hi, UvRect uv) {
  MeshData m;
  const glm::vec3 c = (lo + hi) * 0.5f, h = (hi - lo) * 0.5f;
  // For each face: normal, right and up directions as seen from outside.
  const glm::vec3 dirs[6][3] = {
      {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
      {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
  for (const auto& d : dirs) {
    uint32_t idx[4];
    const float su[4] = {0, 1, 1, 0}, sv[4] = {1, 1, 0, 0};  // sv: 0 at the top
    for (int k = 0; k < 4; ++k) {
      const glm::vec3 p = c + d[0] * h + d[1] * h * (su[k] * 2 - 1) + d[2] * h * (1 - sv[k] * 2);
      idx[k] = m.AddVertex(p, d[0], uv.At(su[k], sv[k]));
    }
    m.AddTriangleFacing(idx[0], idx[1], idx[2]);
    m.AddTriangleFacing(idx[0], idx[2], idx[3]);
  }
  return m;
}

MeshData Tube(const std::vector<glm::vec3>& points, const std::vector<float>& radii, int sides,
              int segmentsPerSpan, int capRings, UvRect uv) {
  // Sample the centre line (with caps as extra rings), then sweep circles with a frame
  // carried along the line so the tube does not twist.
  struct Ring {
    glm::vec3 centre;
    float radius;
    glm::vec3 dir;
  };
  std::vector<Ring> rings;
  const int spans = static_cast<int>(points.size()) - 1;
  auto dirAt = [&](int i) {
    const int a = std::max(0, i - 1), b = std::min(spans, i + 1);
    return glm::normalize(points[b] - points[a]);
  };
  const glm::vec3 d0 = glm::normalize(points[1] - points[0]);
  const glm::vec3 d1 = glm::normalize(points[spans] - points[spans - 1]);
  for (int k = 0; k < capRings; ++k) {
    const float a = (kPi / 2) * (1.0f - static_cast<float>(k) / capRings);
    rings.push_back({points[0] - d0 * radii[0] * std::sin(a), radii[0] * std::cos(a), d0});
  }
  for (int s = 0; s < spans; ++s) {
    for (int k = 0; k < segmentsPerSpan; ++k) {
      const float f = static_cast<float>(k) / segmentsPerSpan;
      // Smooth direction blend between the span's end tangents.
      const glm::vec3 dir = glm::normalize(glm::mix(dirAt(s), dirAt(s + 1), f));
      rings.push_back(
          {glm::mix(points[s], points[s + 1], f), glm::mix(radii[s], radii[s + 1], f), dir});
    }
  }
  rings.push_back({points[spans], radii[spans], d1});
  for (int k = 1; k <= capRings; ++k) {
    const float a = (kPi / 2) * (static_cast<float>(k) / capRings);
    rings.push_back(
        {points[spans] + d1 * radii[spans] * std::sin(a), radii[spans] * std::cos(a), d1});
  }
  // Parallel-transport frame.
  glm::vec3 ref = std::fabs(d0.y) < 0.9f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0);
  glm::vec3 side = glm::normalize(glm::cross(d0, ref));
  MeshData m;
  const int n = static_cast<int>(rings.size());
  for (int r = 0; r < n; ++r) {
    const glm::vec3 dir = rings[r].dir;
    side = glm::normalize(side - dir * glm::dot(side, dir));
    const glm::vec3 up = glm::cross(dir, side);
    for (int c = 0; c <= sides; ++c) {
      const float a = 2 * kPi * c / sides;
      const glm::vec3 radial = side * std::cos(a) + up * std::sin(a);
      m.AddVertex(rings[r].centre + radial * rings[r].radius, radial,
                  uv.At(static_cast<float>(c) / sides, static_cast<float>(r) / (n - 1)));
    }
  }
  for (int r = 0; r + 1 < n; ++r)
    for (int c = 0; c < sides; ++c) {
      const uint32_t a = r * (sides + 1) + c, b = a + 1, d = a + sides + 1, e = d + 1;
      m.AddTriangle(a, b, e);
      m.AddTriangle(a, e, d);
    }
  ComputeSmoothNormals(m);
  return m;
}

MeshData Ellipsoid(glm::vec3 centre, glm::vec3 radii, const glm::mat3& axes, int cols, int rows,
                   UvRect uv) {
  auto fn = [&](float u, float v) {
    const float az = 2 * kPi * u, pol = kPi * v;
    const glm::vec3 local(std::sin(pol) * std::cos(az) * radii.x, std::cos(pol) * radii.y,
                          -std::sin(pol) * std::sin(az) * radii.z);
    return centre + axes * local;
  };
  return ParametricSurface(fn, cols, rows, uv, true);
}

glm::vec3 FieldGradient(const FieldFn& field, glm::vec3 p, float h) {
  const glm::vec3 dx(h, 0, 0), dy(0, h, 0), dz(0, 0, h);
  return glm::vec3(field(p + dx) - field(p - dx), field(p + dy) - field(p - dy),
                   field(p + dz) - field(p - dz)) /
         (2 * h);
}

MeshData SurfaceNets(const FieldFn& field, glm::vec3 lo, glm::vec3 hi, float cell) {
  const glm::ivec3 n = glm::ivec3(glm::ceil((hi - lo) / cell)) + 1;  // grid points per axis
  auto at = [&](int x, int y, int z) { return lo + glm::vec3(x, y, z) * cell; };
  std::vector<float> values(static_cast<size_t>(n.x) * n.y * n.z);
  auto vi = [&](int x, int y, int z) { return (static_cast<size_t>(z) * n.y + y) * n.x + x; };
  for (int z = 0; z < n.z; ++z)
    for (int y = 0; y < n.y; ++y)
      for (int x = 0; x < n.x; ++x) values[vi(x, y, z)] = field(at(x, y, z));

  // One vertex per cell whose corners change sign: the mean of its edge crossings, then a few
  // Newton steps onto the surface.
  MeshData m;
  std::unordered_map<size_t, uint32_t> cellVertex;
  auto ci = [&](int x, int y, int z) { return vi(x, y, z); };
  static const int kEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                    {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  const float h = cell * 0.25f;
  for (int z = 0; z + 1 < n.z; ++z)
    for (int y = 0; y + 1 < n.y; ++y)
      for (int x = 0; x + 1 < n.x; ++x) {
        float v[8];
        glm::vec3 p[8];
        int inside = 0;
        for (int k = 0; k < 8; ++k) {
          const int dx = k & 1, dy = (k >> 1) & 1, dz = (k >> 2) & 1;
          v[k] = values[vi(x + dx, y + dy, z + dz)];
          p[k] = at(x + dx, y + dy, z + dz);
          inside += v[k] < 0;
        }
        if (inside == 0 || inside == 8) continue;
        glm::vec3 sum(0);
        int count = 0;
        for (const auto& e : kEdges) {
          const float a = v[e[0]], b = v[e[1]];
          if ((a < 0) == (b < 0)) continue;
          sum += glm::mix(p[e[0]], p[e[1]], a / (a - b));
          ++count;
        }
        glm::vec3 q = sum / static_cast<float>(count);
        for (int it = 0; it < 3; ++it) {
          const glm::vec3 g = FieldGradient(field, q, h);
          const float g2 = glm::dot(g, g);
          if (g2 < 1e-12f) break;
          const glm::vec3 step = g * (field(q) / g2);
          if (glm::length(step) > cell) break;  // keep vertices near their cell
          q -= step;
        }
        const glm::vec3 nrm = glm::normalize(FieldGradient(field, q, h));
        cellVertex[ci(x, y, z)] = m.AddVertex(q, nrm, {0, 0});
      }

  // One quad per grid edge that crosses the surface, joining the four cells around it.
  for (int z = 1; z + 1 < n.z; ++z)
    for (int y = 1; y + 1 < n.y; ++y)
      for (int x = 1; x + 1 < n.x; ++x) {
        const float v0 = values[vi(x, y, z)];
        for (int axis = 0; axis < 3; ++axis) {
          glm::ivec3 o(0);
          o[axis] = 1;
          const float v1 = values[vi(x + o.x, y + o.y, z + o.z)];
          if ((v0 < 0) == (v1 < 0)) continue;
          const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
          glm::ivec3 c[4];
          for (int k = 0; k < 4; ++k) {
            c[k] = glm::ivec3(x, y, z);
            if (k == 1 || k == 2) c[k][a1] -= 1;
            if (k >= 2) c[k][a2] -= 1;
          }
          uint32_t q[4];
          bool ok = true;
          for (int k = 0; k < 4 && ok; ++k) {
            auto it = cellVertex.find(ci(c[k].x, c[k].y, c[k].z));
            ok = it != cellVertex.end();
            if (ok) q[k] = it->second;
          }
          if (!ok) continue;
          const float d1 = glm::distance(m.positions[q[0]], m.positions[q[2]]);
          const float d2 = glm::distance(m.positions[q[1]], m.positions[q[3]]);
          if (d1 <= d2) {
            m.AddTriangleFacing(q[0], q[1], q[2]);
            m.AddTriangleFacing(q[0], q[2], q[3]);
          } else {
            m.AddTriangleFacing(q[0], q[1], q[3]);
            m.AddTriangleFacing(q[1], q[2], q[3]);
          }
        }
      }
  return m;
}

float SdSphere(glm::vec3 p, glm::vec3 c, float r) {
  return glm::length(p - c) - r;
}

float SdEllipsoid(glm::vec3 p, glm::vec3 c, glm::vec3 r) {
  // The usual first-order bound: exact on the surface, good enough nearby.
  const glm::vec3 q = p - c;
  const float k0 = glm::length(q / r);
  const float k1 = glm::length(q / (r * r));
  if (k1 < 1e-9f) return -std::min(r.x, std::min(r.y, r.z));
  return k0 * (k0 - 1.0f) / k1;
}

float SdCapsule(glm::vec3 p, glm::vec3 a, glm::vec3 b, float ra, float rb) {
  const glm::vec3 ba = b - a, pa = p - a;
  const float t = glm::clamp(glm::dot(pa, ba) / glm::dot(ba, ba), 0.0f, 1.0f);
  return glm::length(pa - ba * t) - glm::mix(ra, rb, t);
}

float SmoothMin(float a, float b, float k) {
  const float h = glm::clamp(0.5f + 0.5f * (b - a) / k, 0.0f, 1.0f);
  return glm::mix(b, a, h) - k * h * (1.0f - h);
}

glm::mat3 Rotation(glm::vec3 axis, float radians) {
  const float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
  const glm::vec3 a = glm::normalize(axis);
  // Column-major: columns are the images of the basis vectors.
  return glm::mat3(t * a.x * a.x + c, t * a.x * a.y + s * a.z, t * a.x * a.z - s * a.y,
                   t * a.x * a.y - s * a.z, t * a.y * a.y + c, t * a.y * a.z + s * a.x,
                   t * a.x * a.z + s * a.y, t * a.y * a.z - s * a.x, t * a.z * a.z + c);
}
