// text_renderer.cpp: the HUD font's glyphs (rasterised by FreeType, see decoders.h) as
// textures, and drawing strings one quad per byte.
#include "gfx/text_renderer.h"

#include <iostream>

#include "trial/decoders.h"
#include "trial/file_trial.h"

GlyphQuad LayoutGlyph(const Glyph& glyph, float x, float y, float scale) {
  const float xpos = x + glyph.bearing.x * scale;
  // The descent below the baseline is taken in whole pixels before scaling.
  const float ypos = y - (glyph.size.y - glyph.bearing.y) * scale;
  const float w = glyph.size.x * scale;
  const float h = glyph.size.y * scale;
  // v = 0 is the bitmap's first (top) row, so the glyph stands upright with y pointing up.
  GlyphQuad quad = {{{xpos, ypos + h, 0.0f, 0.0f},
                     {xpos, ypos, 0.0f, 1.0f},
                     {xpos + w, ypos, 1.0f, 1.0f},
                     {xpos, ypos + h, 0.0f, 0.0f},
                     {xpos + w, ypos, 1.0f, 1.0f},
                     {xpos + w, ypos + h, 1.0f, 0.0f}},
                    0.0f};
  // Whole pixels only: the 1/64 fraction of the advance is dropped before scaling.
  quad.penAdvance = static_cast<float>(glyph.advance >> 6) * scale;
  return quad;
}

TextRenderer::TextRenderer(const char* fontPath) {
  // The rasterised glyphs: from the file trial's worker, or made here where the caller chose
  // that (DecodeWhere::InProcess). A refused font is reported like one that would not open.
  const char* refusal = nullptr;
  const TrialRecord* tried = PassedTrial(fontPath, refusal);
  DecodedFont font;
  if (tried && !ParseFont(tried->payload, font)) refusal = "no font came back";
  if (refusal) {
    font = DecodedFont{};
    font.libraryReady = true;
  } else if (!tried) {
    font = DecodeFontFile(fontPath);
  }
  if (!font.libraryReady) {
    std::cout << "ERROR::FREETYPE: Could not init FreeType Library" << std::endl;
  }
  if (!font.faceReady) std::cout << "ERROR::FREETYPE: Failed to load font" << std::endl;

  // Glyph bitmaps and the RGB images loaded after us have unpadded rows. Set even without a
  // font, since every later texture upload depends on it.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  if (font.faceReady) {
    for (int code = 0; code < kGlyphCount; ++code) {
      const std::size_t index = static_cast<std::size_t>(code);
      if (index >= font.glyphs.size() || !font.glyphs[index].loaded) {
        std::cout << "ERROR::FREETYTPE: Failed to load Glyph" << std::endl;
        continue;
      }
      const DecodedGlyph& decoded = font.glyphs[index];
      GLuint textureId = 0;
      glGenTextures(1, &textureId);
      glBindTexture(GL_TEXTURE_2D, textureId);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, decoded.width, decoded.rows, 0, GL_RED,
                   GL_UNSIGNED_BYTE, decoded.bitmap.empty() ? nullptr : decoded.bitmap.data());
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

      Glyph glyph;
      glyph.textureId = textureId;
      glyph.size = glm::ivec2(decoded.width, decoded.rows);
      glyph.bearing = glm::ivec2(decoded.left, decoded.top);
      glyph.advance = decoded.advance;
      glyphs.insert({static_cast<char>(code), glyph});
    }
    glBindTexture(GL_TEXTURE_2D, 0);
  }

  // One quad of six (x, y, u, v) vertices, rewritten for every character.
  glGenVertexArrays(1, &vao);
  glGenBuffers(1, &vbo);
  glBindVertexArray(vao);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, sizeof(float) * 6 * 4, nullptr, GL_DYNAMIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindVertexArray(0);
}

Glyph& TextRenderer::GetGlyph(char code) {
  return glyphs[code];
}

void TextRenderer::DrawString(Shader& shader, const std::string& text, float x, float y,
                              float scale, glm::vec3 color) {
  SetUniformVec3(shader, "textColor", color);
  glActiveTexture(GL_TEXTURE0);
  glBindVertexArray(vao);
  // Bytes, not code points: a byte above 127 finds (and keeps) an empty glyph.
  for (const char ch : text) {
    const Glyph& glyph = GetGlyph(ch);
    const GlyphQuad quad = LayoutGlyph(glyph, x, y, scale);
    glBindTexture(GL_TEXTURE_2D, glyph.textureId);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof(quad.vertices), quad.vertices);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    x += quad.penAdvance;
  }
  glBindVertexArray(0);
  glBindTexture(GL_TEXTURE_2D, 0);
}
