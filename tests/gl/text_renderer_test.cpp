// TextRenderer: the glyph table against FreeType, the quad buffer, the pen in DrawString,
// bytes without glyphs, and missing or broken fonts.
#include "gfx/text_renderer.h"

#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <glm/gtc/matrix_transform.hpp>
#include <optional>
#include <string>
#include <vector>

#include "gfx_test_files.h"
#include "gl_context.h"

namespace {

const char* const kFontFile = "fonts/OpenSans-Regular.ttf";
const char* const kFontMessage = "ERROR::FREETYPE: Failed to load font\n";
const char* const kGlyphMessage = "ERROR::FREETYTPE: Failed to load Glyph\n";

const char* const kTextVertex =
    "#version 330 core\n"
    "layout (location = 0) in vec4 vertex;\n"
    "out vec2 TexCoords;\n"
    "uniform mat4 projection;\n"
    "void main() {\n"
    "  gl_Position = projection * vec4(vertex.xy, 0.0, 1.0);\n"
    "  TexCoords = vertex.zw;\n"
    "}\n";
// Coverage straight into the colour, so a read-back shows where the glyph landed.
const char* const kTextFragment =
    "#version 330 core\n"
    "in vec2 TexCoords;\n"
    "out vec4 color;\n"
    "uniform sampler2D text;\n"
    "uniform vec3 textColor;\n"
    "void main() { color = vec4(textColor * texture(text, TexCoords).r, 1.0); }\n";

// Metrics FreeType itself gives for one code at 48 px.
struct FreeTypeGlyph {
  int width, rows, left, top;
  long advance;
  std::vector<unsigned char> bitmap;
};

FreeTypeGlyph LoadWithFreeType(char code) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FreeTypeGlyph g{};
  if (FT_Init_FreeType(&library)) return g;
  if (FT_New_Face(library, kFontFile, 0, &face) == 0) {
    FT_Set_Pixel_Sizes(face, 0, 48);
    if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER) == 0) {
      const FT_Bitmap& b = face->glyph->bitmap;
      g = {static_cast<int>(b.width),
           static_cast<int>(b.rows),
           face->glyph->bitmap_left,
           face->glyph->bitmap_top,
           face->glyph->advance.x,
           std::vector<unsigned char>(b.buffer, b.buffer + b.width * b.rows)};
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return g;
}

std::vector<float> QuadBuffer(const TextRenderer& renderer) {
  std::vector<float> floats(24);
  glBindBuffer(GL_ARRAY_BUFFER, renderer.vbo);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, 96, floats.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  return floats;
}

GLint Integer(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}

Glyph MakeGlyph(int width, int rows, int left, int top, GLuint advance) {
  Glyph glyph;
  glyph.size = glm::ivec2(width, rows);
  glyph.bearing = glm::ivec2(left, top);
  glyph.advance = advance;
  return glyph;
}

// The quad buffer and vertex array as the renderer set them up.
void ExpectQuadBuffer(const TextRenderer& renderer) {
  glBindBuffer(GL_ARRAY_BUFFER, renderer.vbo);
  GLint size = 0, usage = 0;
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_USAGE, &usage);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  EXPECT_EQ(size, 96);
  EXPECT_EQ(usage, GL_DYNAMIC_DRAW);
  glBindVertexArray(renderer.vao);
  GLint value = 0;
  glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &value);
  EXPECT_EQ(value, GL_TRUE);
  glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_SIZE, &value);
  EXPECT_EQ(value, 4);
  glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &value);
  EXPECT_EQ(value, 16);
  glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_TYPE, &value);
  EXPECT_EQ(value, GL_FLOAT);
  glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &value);
  EXPECT_EQ(static_cast<GLuint>(value), renderer.vbo);
  glBindVertexArray(0);
}

}  // namespace

TEST(TextRenderer, GlyphTableMatchesFreeTypeAt48Pixels) {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  {
    std::optional<TextRenderer> renderer;
    EXPECT_EQ(CaptureStdout([&] { renderer.emplace(); }), "");
    EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 1);
    EXPECT_EQ(renderer->glyphs.size(), 128u);
    EXPECT_EQ(renderer->glyphs.begin()->first, '\0');
    EXPECT_EQ(renderer->glyphs.rbegin()->first, '\x7f');
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), 0);
    EXPECT_EQ(Integer(GL_VERTEX_ARRAY_BINDING), 0);
    EXPECT_EQ(Integer(GL_ARRAY_BUFFER_BINDING), 0);
    ExpectQuadBuffer(*renderer);

    for (char code : {'A', 'g', 'j', 'W', '.', ' ', '~'}) {
      SCOPED_TRACE(std::string(1, code));
      const FreeTypeGlyph expected = LoadWithFreeType(code);
      const Glyph& glyph = renderer->glyphs.at(code);
      EXPECT_EQ(glyph.size, glm::ivec2(expected.width, expected.rows));
      EXPECT_EQ(glyph.bearing, glm::ivec2(expected.left, expected.top));
      EXPECT_EQ(static_cast<long>(glyph.advance), expected.advance);
      ASSERT_TRUE(glIsTexture(glyph.textureId));
      glBindTexture(GL_TEXTURE_2D, glyph.textureId);
      GLint width = -1, height = -1, red = 0, green = -1, wrap = 0, minFilter = 0;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &red);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_GREEN_SIZE, &green);
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
      EXPECT_EQ(width, expected.width);
      EXPECT_EQ(height, expected.rows);
      EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
      EXPECT_EQ(minFilter, GL_LINEAR);
      if (expected.width > 0) {
        EXPECT_EQ(red, 8);
        EXPECT_EQ(green, 0);
        // The bitmap arrives row for row (byte alignment: no skew for odd widths).
        std::vector<unsigned char> pixels(expected.bitmap.size());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, pixels.data());
        EXPECT_EQ(pixels, expected.bitmap);
      }
      glBindTexture(GL_TEXTURE_2D, 0);
    }
    // Sanity of the font itself: a space is empty but moves the pen.
    EXPECT_EQ(renderer->glyphs.at(' ').size, glm::ivec2(0));
    EXPECT_GT(renderer->glyphs.at(' ').advance, 0u);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(TextRenderer, DrawStringMovesThePenByWholePixelsAndAddsZeroGlyphs) {
  TextRenderer renderer;
  Shader shader = ShaderFromSource(kTextVertex, kTextFragment);
  shader.Use();
  // Two made-up glyphs: 25 px advance exactly, and 25 px plus 10/64.
  renderer.glyphs['a'] = MakeGlyph(10, 20, 1, 15, 1600);
  renderer.glyphs['b'] = MakeGlyph(8, 12, 2, 12, 1610);
  struct Case {
    std::string text;
    float lastPen;  // the pen x where the last character was drawn
    char last;
  };
  const Case cases[] = {
      {"ab", 10.0f + 12.5f, 'b'},
      {"ba", 10.0f + 12.5f, 'a'},
      {"bba", 10.0f + 25.0f, 'a'},
      // 0xE9 (a Latin-1 letter) has no glyph: an empty quad that leaves the pen alone.
      {"a\xE9"
       "b",
       10.0f + 12.5f, 'b'},
      {"\xE9", 10.0f, '\xE9'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    renderer.DrawString(shader, c.text, 10.0f, 20.0f, 0.5f, glm::vec3(0.25f, 0.5f, 0.75f));
    const GlyphQuad quad = LayoutGlyph(renderer.glyphs.at(c.last), c.lastPen, 20.0f, 0.5f);
    const std::vector<float> buffer = QuadBuffer(renderer);
    for (int i = 0; i < 24; ++i) EXPECT_FLOAT_EQ(buffer[i], quad.vertices[i / 4][i % 4]) << i;
  }
  const Glyph& added = renderer.glyphs.at('\xE9');
  EXPECT_EQ(added.textureId, 0u);
  EXPECT_EQ(added.size, glm::ivec2(0));
  EXPECT_EQ(added.bearing, glm::ivec2(0));
  EXPECT_EQ(added.advance, 0u);
  EXPECT_EQ(renderer.glyphs.size(), 129u);

  GLfloat color[3] = {};
  glGetUniformfv(shader.programId, glGetUniformLocation(shader.programId, "textColor"), color);
  EXPECT_EQ(glm::vec3(color[0], color[1], color[2]), glm::vec3(0.25f, 0.5f, 0.75f));
  EXPECT_EQ(Integer(GL_VERTEX_ARRAY_BINDING), 0);
  EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), 0);
  EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);

  // An empty string still sets the colour and adds nothing.
  renderer.DrawString(shader, "", 0.0f, 0.0f, 1.0f, glm::vec3(1.0f, 0.0f, 0.0f));
  glGetUniformfv(shader.programId, glGetUniformLocation(shader.programId, "textColor"), color);
  EXPECT_EQ(color[0], 1.0f);
  EXPECT_EQ(renderer.glyphs.size(), 129u);
  glUseProgram(0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(TextRenderer, DrawnGlyphStandsUprightOnTheBaseline) {
  TextRenderer renderer;
  Shader shader = ShaderFromSource(kTextVertex, kTextFragment);
  const int size = 64;
  OffscreenTarget target(size, size);
  shader.Use();
  SetUniformMat4(shader, "projection", glm::ortho(0.0f, float(size), 0.0f, float(size)));
  const float baseline = 10.0f;
  renderer.DrawString(shader, "T", 8.0f, baseline, 1.0f, glm::vec3(1.0f));
  glUseProgram(0);

  // Covered pixels per row, bottom row first.
  const std::vector<unsigned char> pixels = target.Pixels();
  std::vector<int> covered(size, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) covered[y] += pixels[(y * size + x) * 4] > 128;
  }
  const Glyph& t = renderer.glyphs.at('T');
  const int bottom = static_cast<int>(baseline) + (t.bearing.y - t.size.y);
  const int top = static_cast<int>(baseline) + t.bearing.y - 1;
  // Nothing below the baseline or above the cap; the bar (top) is wider than the stem.
  for (int y = 0; y < bottom; ++y) EXPECT_EQ(covered[y], 0) << y;
  for (int y = top + 1; y < size; ++y) EXPECT_EQ(covered[y], 0) << y;
  EXPECT_GT(covered[top - 1], 3 * covered[bottom + 1]);
  EXPECT_GT(covered[bottom + 1], 0);
}

TEST(TextRenderer, MissingOrBrokenFontsDoNotStopTheGame) {
  const std::string font = ReadFile(kFontFile);
  ASSERT_GT(font.size(), 10000u);
  struct Case {
    const char* name;
    std::optional<std::string> contents;  // nullopt: no font file
  };
  const std::vector<Case> cases = {
      {"missing", std::nullopt},
      {"empty", std::string()},
      {"garbage", std::string(4096, '\xA5')},
      {"header only", font.substr(0, 256)},
      {"first half", font.substr(0, font.size() / 2)},
      {"every other kilobyte zeroed",
       [&] {
         std::string broken = font;
         for (size_t i = 1024; i < broken.size(); i += 2048) broken.replace(i, 1024, 1024, '\0');
         return broken;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    if (c.contents) WriteFile(dir / kFontFile, *c.contents);
    ScopedWorkingDir inside(dir.Path());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    std::optional<TextRenderer> renderer;
    const std::string output = CaptureStdout([&] { renderer.emplace(); });
    // Byte alignment is set even without a font: later RGB uploads need it.
    EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 1);
    ExpectQuadBuffer(*renderer);
    if (output.find(kFontMessage) != std::string::npos) {
      // The font message is the whole report: once, and no glyph messages after it.
      EXPECT_EQ(output, kFontMessage);
      EXPECT_TRUE(renderer->glyphs.empty());
    } else {
      // The face opened; each glyph that fails is reported and left out.
      size_t failures = 0;
      for (size_t at = output.find(kGlyphMessage); at != std::string::npos;
           at = output.find(kGlyphMessage, at + 1)) {
        ++failures;
      }
      EXPECT_EQ(output.size(), failures * std::string(kGlyphMessage).size()) << output;
      EXPECT_EQ(renderer->glyphs.size() + failures, 128u);
    }
    if (!c.contents || c.contents->size() < 1000) {
      EXPECT_EQ(output, kFontMessage);
    }

    // Strings still draw (nothing visible without glyphs) and the table only gains zeros.
    Shader shader = ShaderFromSource(kTextVertex, kTextFragment);
    shader.Use();
    OffscreenTarget target(16, 16);
    const size_t before = renderer->glyphs.size();
    renderer->DrawString(shader, "Hi \xE9", 0.0f, 0.0f, 1.0f, glm::vec3(1.0f));
    if (before == 0) {
      EXPECT_EQ(renderer->glyphs.size(), 4u);
      for (unsigned char value : target.Pixels()) ASSERT_EQ(value, 0);
    }
    glUseProgram(0);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The game's own text shader at the size of the top line in an 800 x 600 window (scale 0.267,
// about four texels to a pixel): a stroke two texels thick must show at every sub-pixel
// position, with about the ink it has (2 x 0.267 pixels across). A single bilinear tap per
// pixel passes between such strokes at some positions and drops them.
TEST(TextRenderer, GameTextShaderKeepsThinStrokesAtTopLineScale) {
  const int texels = 48, first = 20;  // the stroke covers texels 20 and 21
  const float scale = 800.0f / 3000.0f;
  for (bool vertical : {true, false}) {
    std::vector<unsigned char> bitmap(texels * texels, 0);
    for (int i = 0; i < texels; ++i) {
      for (int t = first; t < first + 2; ++t)
        bitmap[vertical ? i * texels + t : t * texels + i] = 255;
    }
    TextRenderer renderer;
    GLuint texture = 0;  // made like a glyph's texture
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, texels, texels, 0, GL_RED, GL_UNSIGNED_BYTE,
                 bitmap.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    Glyph stroke = MakeGlyph(texels, texels, 0, texels, texels << 6);
    stroke.textureId = texture;
    renderer.glyphs['|'] = stroke;
    Shader shader("shader/text.vertex", "shader/text.fragment");
    ASSERT_NE(shader.programId, 0u);

    const GLboolean blending = glIsEnabled(GL_BLEND);
    glDisable(GL_BLEND);  // the target's alpha is then the coverage itself
    for (int step = 0; step < 8; ++step) {
      SCOPED_TRACE(std::string(vertical ? "vertical" : "horizontal") + " stroke, offset " +
                   std::to_string(step) + "/8 pixel");
      const int size = 24;
      OffscreenTarget target(size, size);
      shader.Use();
      SetUniformMat4(shader, "projection", glm::ortho(0.0f, float(size), 0.0f, float(size)));
      const float offset = 4.0f + step / 8.0f;
      renderer.DrawString(shader, "|", offset, offset, scale, glm::vec3(1.0f));
      glUseProgram(0);
      // The stroke's ink across one line through the middle of the glyph.
      const std::vector<unsigned char> pixels = target.Pixels();
      float ink = 0.0f, peak = 0.0f;
      for (int k = 0; k < size; ++k) {
        const int x = vertical ? k : 10, y = vertical ? 10 : k;
        const float alpha = pixels[(y * size + x) * 4 + 3] / 255.0f;
        ink += alpha;
        peak = std::max(peak, alpha);
      }
      EXPECT_NEAR(ink, 2.0f * scale, 0.25f * 2.0f * scale);
      EXPECT_GT(peak, 0.25f);
    }
    if (blending) glEnable(GL_BLEND);
    glDeleteTextures(1, &texture);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
