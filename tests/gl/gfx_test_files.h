// gfx_test_files.h: scratch files for the graphics-resource tests: a temporary folder that
// removes itself, writing text, bytes and images into it, and running code from inside it.
#pragma once

#include <stb/stb_image_write.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A fresh folder under the system's temporary directory, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velloran_gfx_XXXXXX").string();
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
inline std::vector<unsigned char> SolidRgb(int width, int height, unsigned char r,
                                           unsigned char g, unsigned char b) {
  std::vector<unsigned char> pixels;
  for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {r, g, b});
  return pixels;
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
