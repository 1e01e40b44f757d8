// gfx_test_files.h: scaffolding for the graphics-resource tests: a temporary folder that
// removes itself, writing text, bytes and images into it, running code from inside it,
// shaders from source texts, and a small off-screen target to read pixels back from.
#pragma once

#include <stb/stb_image_write.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gfx/shader.h"

// A fresh folder under the system's temporary directory, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velloran_gfx_XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes a PNG of `components` channels (3 = RGB, 4 = RGBA), rows top first.
inline void WritePng(const std::string& path, int width, int height, int components,
                     const std::vector<unsigned char>& pixels) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  stbi_write_png(path.c_str(), width, height, components, pixels.data(), width * components);
}

// A width x height RGB image of one colour.
inline std::vector<unsigned char> SolidRgb(int width, int height, unsigned char r, unsigned char g,
                                           unsigned char b) {
  std::vector<unsigned char> pixels;
  for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {r, g, b});
  return pixels;
}

// A baseline JPEG of one grey level, width and height multiples of 8. Written by hand because
// stb's JPEG writer shifts negative ints (undefined behaviour that the sanitizer build stops
// on). One flat block is all DC: each block is the DC difference and an end-of-block code.
inline void WriteGreyJpeg(const std::string& path, int width, int height, unsigned char grey) {
  std::string jpeg = "\xFF\xD8";  // start of image
  auto u16 = [&](int v) { jpeg += static_cast<char>(v >> 8), jpeg += static_cast<char>(v & 255); };
  // Quantisation table 0: all ones.
  jpeg += "\xFF\xDB", u16(67), jpeg += '\0', jpeg += std::string(64, '\1');
  // Baseline frame, one 8-bit component with table 0.
  jpeg += "\xFF\xC0", u16(11), jpeg += '\x08', u16(height), u16(width);
  jpeg += std::string("\x01\x01\x11\x00", 4);
  // The first block's DC is 8 x (grey - 128); the others repeat it (difference 0).
  const int dc = 8 * (grey - 128);
  int category = 0;
  while ((1 << category) <= (dc < 0 ? -dc : dc)) ++category;
  const int dcBits = dc < 0 ? dc + (1 << category) - 1 : dc;
  // DC table 0: two 2-bit codes, 00 = `category`, 01 = difference 0. AC table 0: 00 = end.
  jpeg += "\xFF\xC4", u16(21), jpeg += '\x00', jpeg += std::string("\x00\x02", 2);
  jpeg += std::string(14, '\0'), jpeg += static_cast<char>(category), jpeg += '\0';
  jpeg += "\xFF\xC4", u16(20), jpeg += '\x10', jpeg += std::string("\x00\x01", 2);
  jpeg += std::string(14, '\0'), jpeg += '\0';
  jpeg += "\xFF\xDA", u16(8), jpeg += std::string("\x01\x01\x00\x00\x3F\x00", 6);
  // Entropy-coded blocks, padded with ones; a 0xFF byte is followed by a stuffed 0.
  std::vector<bool> bits;
  auto put = [&](int value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back((value >> i) & 1);
  };
  const int blocks = (width / 8) * (height / 8);
  for (int b = 0; b < blocks; ++b) {
    if (b == 0) {
      put(0, 2), put(dcBits, category);
    } else {
      put(1, 2);
    }
    put(0, 2);
  }
  while (bits.size() % 8) bits.push_back(true);
  for (size_t i = 0; i < bits.size(); i += 8) {
    int byte = 0;
    for (size_t k = 0; k < 8; ++k) byte = (byte << 1) | bits[i + k];
    jpeg += static_cast<char>(byte);
    if (byte == 0xFF) jpeg += '\0';
  }
  jpeg += "\xFF\xD9";  // end of image
  WriteFile(path, jpeg);
}

// Runs with `dir` as the working directory, then returns to where it was.
class ScopedWorkingDir {
 public:
  explicit ScopedWorkingDir(const std::string& dir) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedWorkingDir() { std::filesystem::current_path(previous_); }
  ScopedWorkingDir(const ScopedWorkingDir&) = delete;
  ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

 private:
  std::filesystem::path previous_;
};

// A Shader built from source texts (written to a scratch pair first).
inline Shader ShaderFromSource(const std::string& vertex, const std::string& fragment) {
  ScratchDir dir;
  WriteFile(dir / "t.vertex", vertex);
  WriteFile(dir / "t.fragment", fragment);
  return Shader((dir / "t.vertex").c_str(), (dir / "t.fragment").c_str());
}

// A small RGBA8 colour target to draw into and read back; the window's framebuffer and the
// previous viewport are restored when it goes.
class OffscreenTarget {
 public:
  OffscreenTarget(int width, int height) : width_(width), height_(height) {
    glGetIntegerv(GL_VIEWPORT, previousViewport_);
    glGenFramebuffers(1, &framebuffer_);
    glGenTextures(1, &colour_);
    glBindTexture(GL_TEXTURE_2D, colour_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  ~OffscreenTarget() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(previousViewport_[0], previousViewport_[1], previousViewport_[2],
               previousViewport_[3]);
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &colour_);
  }
  OffscreenTarget(const OffscreenTarget&) = delete;
  OffscreenTarget& operator=(const OffscreenTarget&) = delete;

  // All pixels as RGBA, bottom row first (GL's order).
  std::vector<unsigned char> Pixels() const {
    std::vector<unsigned char> pixels(static_cast<size_t>(width_) * height_ * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
  }

 private:
  int width_;
  int height_;
  GLuint framebuffer_ = 0;
  GLuint colour_ = 0;
  GLint previousViewport_[4] = {};
};
