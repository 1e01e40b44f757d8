// models.h: the game's nine models and the images they use. Each builder returns the model
// (path relative to the output root) and its textures (paths relative to the output root, so
// "assets/canoe.jpg" for a material that names "canoe.jpg").
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "geometry.h"
#include "image.h"

struct NamedImage {
  std::string path;  // relative to the output root; ".jpg" or ".png" picks the encoding
  Image image;
};

struct Asset {
  ModelData model;
  std::vector<NamedImage> images;
};

Asset MakeCanoe();
Asset MakeDuck();
Asset MakeDriver();
Asset MakeDriverArms();  // shares the driver's texture file
Asset MakeCube();
Asset MakePlatform();
Asset MakePool(bool runsAlongX);  // pool2 (end walls, along x) or pool3 (side walls, along z)
Asset MakeStatue();

// Stand-alone images of the render pipeline.
std::vector<NamedImage> MakeSkybox();  // posx, negx, posy, negy, posz, negz
NamedImage MakeWaterImage();
NamedImage MakeGroundImage();

// Colour of the sky (and the land below the horizon) in a unit direction.
glm::vec3 SkyColour(glm::vec3 direction);

// Unit direction seen through texel (s, t) of cube-map face `face` (0..5 = +X, -X, +Y, -Y, +Z,
// -Z) with GL's cube-map conventions; s and t in [0, 1], t = 0 at the image's first row.
glm::vec3 CubeFaceDirection(int face, float s, float t);

// Where the model-space pieces of the canoe and its crew meet (shared by several builders).
namespace canoe_layout {
constexpr float kHalfLength = 1.8f;      // hull from x = -1.8 (stern) to 1.8 (bow)
constexpr float kKeelY = -0.20f;         // lowest point of the hull
float HalfBeam(float x);                 // outer half-width at the gunwale
float Sheer(float x);                    // gunwale height
float Keel(float x);                     // keel height
float InnerHalfWidth(float x, float y);  // inside width of the hull at height y
}  // namespace canoe_layout
