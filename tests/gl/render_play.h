// render_play.h: helpers for the render tests: a scripted game in its own hidden window, pixel
// statistics over regions of read-back images, and free-camera placement.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/scripted_play.h"
#include "gl_context.h"
#include "scene/game_rules.h"

// True when the generated models are in place (tests that need them skip otherwise).
inline bool HaveGameAssets() {
  for (const char* path : {"assets/canoe.dae", "assets/duck/duck.dae", "assets/budman.dae",
                           "assets/pool2.dae", "assets/pool3.dae"}) {
    if (std::FILE* f = std::fopen(path, "rb")) {
      std::fclose(f);
    } else {
      return false;
    }
  }
  return true;
}

// A scripted game at the given size with a frozen clock (every frame after the first has
// deltaTime 0, so nothing moves and two frames of the same state are identical). Start-up
// messages (a missing model, say) are swallowed; the start-up tests check them.
inline std::unique_ptr<ScriptedPlay> StartPlay(unsigned width, unsigned height,
                                               double frameSeconds = 0.0) {
  auto play = std::make_unique<ScriptedPlay>();
  ScriptedPlayOptions options;
  options.width = width;
  options.height = height;
  options.frameSeconds = frameSeconds;
  bool started = false;
  CaptureStdout([&] { started = StartScriptedPlay(*play, options); });
  EXPECT_TRUE(started);
  return play;
}

// Ends the play and gives the shared test context back.
struct PlayGuard {
  ScriptedPlay* play;
  ~PlayGuard() {
    EndScriptedPlay(*play);
    glfwMakeContextCurrent(TestWindow());
  }
};

inline void PlaceFreeCamera(ScriptedPlay& play, glm::vec3 position, float yaw, float pitch) {
  play.game.seatView = false;
  play.game.camera.position = position;
  play.game.camera.yaw = yaw;
  play.game.camera.pitch = pitch;
  play.game.camera.RecomputeAxes();
}

// An RGBA image as read back (rows bottom-up) with its size.
struct Image {
  std::vector<unsigned char> rgba;
  int width = 0;
  int height = 0;
  const unsigned char* At(int x, int y) const {
    return &rgba[(static_cast<size_t>(y) * width + x) * 4];
  }
};

inline Image WindowImage(const ScriptedPlay& play) {
  return Image{ReadWindowPixels(play), static_cast<int>(play.game.screenWidth),
               static_cast<int>(play.game.screenHeight)};
}

inline Image TargetImage(const ScriptedPlay& play, GLuint framebuffer) {
  return Image{ReadTargetPixels(play, framebuffer), static_cast<int>(play.game.screenWidth),
               static_cast<int>(play.game.screenHeight)};
}

inline bool SameRgb(const unsigned char* a, const unsigned char* b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// Mean of (r + g + b) / 3 over the box [x0, x1) x [y0, y1) (window pixels, origin bottom-left).
inline double MeanBrightness(const Image& image, int x0, int y0, int x1, int y1) {
  double sum = 0.0;
  int count = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const unsigned char* p = image.At(x, y);
      sum += (p[0] + p[1] + p[2]) / 3.0;
      ++count;
    }
  }
  return count ? sum / count : 0.0;
}

// Number of pixels whose colour differs between two images of the same size.
inline long CountDifferent(const Image& a, const Image& b) {
  long n = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) n += SameRgb(a.At(x, y), b.At(x, y)) ? 0 : 1;
  }
  return n;
}

struct Box {
  int x0, y0, x1, y1;  // [x0, x1) x [y0, y1), window pixels, origin bottom-left
  bool Contains(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

// The ink box of one HUD line from the font's metrics, with a 2-pixel margin.
inline Box InkBox(const TextRenderer& text, const HudLine& line) {
  float pen = line.x, left = line.x, top = line.y, bottom = line.y;
  for (char c : line.text) {
    auto it = text.glyphs.find(c);
    if (it == text.glyphs.end()) continue;
    const Glyph& g = it->second;
    left = std::min(left, pen + g.bearing.x * line.scale);
    top = std::max(top, line.y + g.bearing.y * line.scale);
    bottom = std::min(bottom, line.y - (g.size.y - g.bearing.y) * line.scale);
    pen += (g.advance >> 6) * line.scale;
  }
  return Box{static_cast<int>(std::floor(left)) - 2, static_cast<int>(std::floor(bottom)) - 2,
             static_cast<int>(std::ceil(pen)) + 2, static_cast<int>(std::ceil(top)) + 2};
}
