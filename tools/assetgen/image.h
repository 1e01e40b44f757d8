// image.h: RGB images for the generated textures, the noise they are painted with, and their
// encoding as baseline JPEG or 8-bit RGB PNG through stb_image_write.
//
// Everything here is deterministic: noise comes from integer hashes, never from a clock.
#pragma once

#include <cstdint>
#include <glm/glm.hpp>
#include <string>
#include <vector>

// Row 0 is the first row written to the file (the game's t = 0).
struct Image {
  int width = 0, height = 0;
  std::vector<glm::vec3> pixels;  // linear 0..1 per channel, row-major

  Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, glm::vec3(0)) {}
  glm::vec3& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  glm::vec3 At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  std::vector<uint8_t> Bytes() const;  // clamped, rounded 8-bit RGB
};

bool WriteJpeg(const Image& image, const std::string& path, int quality = 92);
bool WritePng(const Image& image, const std::string& path);

// Small fixed-seed generator (SplitMix64) for layout choices: plank widths, tile shades.
struct Rng {
  uint64_t state;
  explicit Rng(uint64_t seed) : state(seed) {}
  uint64_t Next();
  float Uniform();  // [0, 1)
  float Range(float lo, float hi) { return lo + (hi - lo) * Uniform(); }
};

// Hash of integer lattice points to [0, 1).
float Hash2(int x, int y, uint32_t seed);
float Hash3(int x, int y, int z, uint32_t seed);

// Smooth value noise in [0, 1]; `period` > 0 makes it repeat every `period` lattice cells.
float ValueNoise2(glm::vec2 p, uint32_t seed, int period = 0);
float ValueNoise3(glm::vec3 p, uint32_t seed);
// Fractal sums with `octaves` layers, each at twice the frequency and `gain` the amplitude,
// normalised to [0, 1].
float Fbm2(glm::vec2 p, int octaves, uint32_t seed, int period = 0, float gain = 0.5f);
float Fbm3(glm::vec3 p, int octaves, uint32_t seed, float gain = 0.5f);

float SmoothStep(float e0, float e1, float x);
glm::vec3 Rgb(int r, int g, int b);  // 8-bit colour to linear 0..1 floats (no gamma)
