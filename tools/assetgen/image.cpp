// image.cpp: pixels, noise and file encoding.
#include "image.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

std::vector<uint8_t> Image::Bytes() const {
  std::vector<uint8_t> out(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i)
    for (int c = 0; c < 3; ++c) {
      const float v = std::clamp(pixels[i][c], 0.0f, 1.0f);
      out[i * 3 + c] = static_cast<uint8_t>(std::lround(v * 255.0f));
    }
  return out;
}

bool WriteJpeg(const Image& image, const std::string& path, int quality) {
  const std::vector<uint8_t> bytes = image.Bytes();
  return stbi_write_jpg(path.c_str(), image.width, image.height, 3, bytes.data(), quality) != 0;
}

bool WritePng(const Image& image, const std::string& path) {
  const std::vector<uint8_t> bytes = image.Bytes();
  return stbi_write_png(path.c_str(), image.width, image.height, 3, bytes.data(),
                        image.width * 3) != 0;
}

uint64_t Rng::Next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

float Rng::Uniform() {
  return static_cast<float>(Next() >> 40) / static_cast<float>(1 << 24);
}

namespace {

uint32_t Mix(uint32_t h) {
  h ^= h >> 16;
  h *= 0x7feb352du;
  h ^= h >> 15;
  h *= 0x846ca68bu;
  h ^= h >> 16;
  return h;
}

float Fade(float t) {
  return t * t * t * (t * (t * 6 - 15) + 10);
}

int Wrap(int v, int period) {
  if (period <= 0) return v;
  const int m = v % period;
  return m < 0 ? m + period : m;
}

}  // namespace

float Hash2(int x, int y, uint32_t seed) {
  const uint32_t h = Mix(static_cast<uint32_t>(x) * 0x8da6b343u ^
                         Mix(static_cast<uint32_t>(y) * 0xd8163841u ^ seed));
  return static_cast<float>(h >> 8) / static_cast<float>(1 << 24);
}

float Hash3(int x, int y, int z, uint32_t seed) {
  const uint32_t h = Mix(static_cast<uint32_t>(x) * 0x8da6b343u ^
                         Mix(static_cast<uint32_t>(y) * 0xd8163841u ^
                             Mix(static_cast<uint32_t>(z) * 0xcb1ab31fu ^ seed)));
  return static_cast<float>(h >> 8) / static_cast<float>(1 << 24);
}

float ValueNoise2(glm::vec2 p, uint32_t seed, int period) {
  const int x0 = static_cast<int>(std::floor(p.x)), y0 = static_cast<int>(std::floor(p.y));
  const float fx = Fade(p.x - x0), fy = Fade(p.y - y0);
  auto h = [&](int x, int y) { return Hash2(Wrap(x, period), Wrap(y, period), seed); };
  const float a = h(x0, y0), b = h(x0 + 1, y0), c = h(x0, y0 + 1), d = h(x0 + 1, y0 + 1);
  return glm::mix(glm::mix(a, b, fx), glm::mix(c, d, fx), fy);
}

float ValueNoise3(glm::vec3 p, uint32_t seed) {
  const glm::vec3 f = glm::floor(p);
  const int x0 = static_cast<int>(f.x), y0 = static_cast<int>(f.y), z0 = static_cast<int>(f.z);
  const float fx = Fade(p.x - f.x), fy = Fade(p.y - f.y), fz = Fade(p.z - f.z);
  float v[2];
  for (int k = 0; k < 2; ++k) {
    const float a = Hash3(x0, y0, z0 + k, seed), b = Hash3(x0 + 1, y0, z0 + k, seed);
    const float c = Hash3(x0, y0 + 1, z0 + k, seed), d = Hash3(x0 + 1, y0 + 1, z0 + k, seed);
    v[k] = glm::mix(glm::mix(a, b, fx), glm::mix(c, d, fx), fy);
  }
  return glm::mix(v[0], v[1], fz);
}

float Fbm2(glm::vec2 p, int octaves, uint32_t seed, int period, float gain) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * ValueNoise2(p, seed + 101u * o, period);
    norm += amp;
    amp *= gain;
    p *= 2.0f;
    if (period > 0) period *= 2;
  }
  return sum / norm;
}

float Fbm3(glm::vec3 p, int octaves, uint32_t seed, float gain) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * ValueNoise3(p, seed + 101u * o);
    norm += amp;
    amp *= gain;
    p *= 2.0f;
  }
  return sum / norm;
}

float SmoothStep(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

glm::vec3 Rgb(int r, int g, int b) {
  return glm::vec3(r, g, b) / 255.0f;
}
