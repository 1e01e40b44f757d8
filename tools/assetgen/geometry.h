// geometry.h: triangle meshes for the generated models and the few shape builders they are
// made of: parametric surfaces, boxes, tubes with round ends, ellipsoids and a surface-nets
// polygoniser for blended distance fields.
//
// Texture coordinates are kept as (u, t) with t measured from the image's first row, the way
// the game samples images it uploads first-row-first. The COLLADA writer turns t into the
// file's v = 1 - t, which the game's import (FlipUVs) turns back into t.
#pragma once

#include <cstdint>
#include <functional>
#include <glm/glm.hpp>
#include <string>
#include <vector>

// A rectangle of an atlas texture in (u, t) units.
struct UvRect {
  float u0 = 0.0f, t0 = 0.0f, u1 = 1.0f, t1 = 1.0f;
  glm::vec2 At(float su, float st) const { return {u0 + (u1 - u0) * su, t0 + (t1 - t0) * st}; }
};

// One mesh with one material; becomes one aiMesh.
struct MeshData {
  std::string name;      // geometry id in the file: unique within a model
  std::string material;  // material name: meshes naming the same material share it
  std::string diffuse;   // diffuse texture file, relative to the model's folder
  std::vector<glm::vec3> positions;
  std::vector<glm::vec3> normals;
  std::vector<glm::vec2> uvs;  // (u, t)
  std::vector<uint32_t> indices;

  uint32_t AddVertex(glm::vec3 p, glm::vec3 n, glm::vec2 uv);
  void AddTriangle(uint32_t a, uint32_t b, uint32_t c);  // as given; drops ones without area
  // Winds the triangle so its face normal agrees with its vertex normals.
  void AddTriangleFacing(uint32_t a, uint32_t b, uint32_t c);
  void Append(const MeshData& other);
  size_t TriangleCount() const { return indices.size() / 3; }
  void Transform(const glm::mat4& m);  // positions by m, normals by its inverse transpose
};

// A whole model file: its path relative to the output root and its meshes.
struct ModelData {
  std::string path;  // e.g. "assets/canoe.dae"
  std::vector<MeshData> meshes;
  size_t TriangleCount() const;
  glm::vec3 MinCorner() const;
  glm::vec3 MaxCorner() const;
};

using SurfaceFn = std::function<glm::vec3(float u, float v)>;

// A grid of (cols + 1) x (rows + 1) vertices over the parameter square [0,1]^2. The front side
// is the one dP/du x dP/dv points to (the other one with `flip`); normals are the area-weighted
// average of the faces around each position, welded across seams and poles.
MeshData ParametricSurface(const SurfaceFn& fn, int cols, int rows, UvRect uv, bool flip = false);

// Smooth normals for a mesh: area-weighted face normals averaged over vertices that share a
// position (within 1e-5).
void ComputeSmoothNormals(MeshData& mesh);

// An axis-aligned box with flat faces. Texture coordinates are world-scaled: one texture repeat
// per `tile` units, taken from the two axes spanning each face.
MeshData Box(glm::vec3 lo, glm::vec3 hi, float tile, bool skipBottom = false);

// A box whose every face shows the whole UV rect (crates).
MeshData BoxFullFaces(glm::vec3 lo, glm::vec3 hi, UvRect uv);

// A tube along a polyline with a radius per point and rounded (hemispherical) ends; u runs
// around, t along.
MeshData Tube(const std::vector<glm::vec3>& points, const std::vector<float>& radii, int sides,
              int segmentsPerSpan, int capRings, UvRect uv);

// An ellipsoid with the given centre, radii and axes (columns of `axes`): t runs from the pole
// on the second axis (+) to the opposite pole, u around that axis starting at the first axis.
MeshData Ellipsoid(glm::vec3 centre, glm::vec3 radii, const glm::mat3& axes, int cols, int rows,
                   UvRect uv);

// Distance-field surface by surface nets over a grid of cell size `cell` inside [lo, hi];
// vertices are pulled onto the surface and take the field's gradient as normal.
using FieldFn = std::function<float(glm::vec3)>;
MeshData SurfaceNets(const FieldFn& field, glm::vec3 lo, glm::vec3 hi, float cell);

glm::vec3 FieldGradient(const FieldFn& field, glm::vec3 p, float h);

// Signed distances and blending for fields.
float SdSphere(glm::vec3 p, glm::vec3 c, float r);
float SdEllipsoid(glm::vec3 p, glm::vec3 c, glm::vec3 r);
float SdCapsule(glm::vec3 p, glm::vec3 a, glm::vec3 b, float ra, float rb);  // round cone
float SmoothMin(float a, float b, float k);

// Rotation matrix about a unit axis (radians).
glm::mat3 Rotation(glm::vec3 axis, float radians);
