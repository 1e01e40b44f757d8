// text_renderer.h: the HUD's text. The font's codes 0-127 are rasterised once by FreeType at
// 48 px into one GL_RED texture each; a string is drawn as one textured quad per byte.
#pragma once

#include <glm/glm.hpp>
#include <map>
#include <string>

#include "gfx/gl.h"
#include "gfx/shader.h"
#include "trial/decoders.h"  // kGlyphPixelHeight, kGlyphCount

constexpr const char* kFontPath = "fonts/OpenSans-Regular.ttf";  // relative to the working folder

struct Glyph {
  GLuint textureId = 0;   // GL_RED bitmap
  glm::ivec2 size{0};     // bitmap width, rows
  glm::ivec2 bearing{0};  // bitmap_left, bitmap_top
  GLuint advance = 0;     // pen advance in 1/64 pixel
};

// The six (x, y, u, v) vertices of one glyph's quad with the pen at (x, y), and the pen's
// advance. Pure arithmetic, shared by DrawString and the tests.
struct GlyphQuad {
  float vertices[6][4];
  float penAdvance;
};
GlyphQuad LayoutGlyph(const Glyph& glyph, float x, float y, float scale);

struct TextRenderer {
  std::map<char, Glyph> glyphs;  // one entry per rendered code (and zero entries added later)
  GLuint vao = 0;
  GLuint vbo = 0;  // 96 bytes: one quad, rewritten per character

  explicit TextRenderer(const char* fontPath = kFontPath);  // prints the FreeType messages
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  Glyph& GetGlyph(char code);  // inserts a zero glyph when the code has none
  void DrawString(Shader& shader, const std::string& text, float x, float y, float scale,
                  glm::vec3 color);
};
