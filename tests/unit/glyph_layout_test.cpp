// LayoutGlyph: the quad and pen arithmetic behind TextRenderer::DrawString.
#include <gtest/gtest.h>

#include "gfx/text_renderer.h"

namespace {

Glyph MakeGlyph(int width, int rows, int left, int top, GLuint advance) {
  Glyph glyph;
  glyph.size = glm::ivec2(width, rows);
  glyph.bearing = glm::ivec2(left, top);
  glyph.advance = advance;
  return glyph;
}

}  // namespace

TEST(LayoutGlyph, PenAdvanceDropsTheFractionBeforeScaling) {
  struct Case {
    GLuint advance;
    float scale;
    float expected;
  };
  const Case cases[] = {
      {1600, 0.5f, 12.5f},  // 25 px
      {1610, 0.5f, 12.5f},  // 25 px and 10/64: the fraction goes first
      {1663, 1.0f, 25.0f},  // just under 26 px
      {1664, 1.0f, 26.0f}, {63, 2.0f, 0.0f}, {0, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.advance);
    EXPECT_FLOAT_EQ(LayoutGlyph(MakeGlyph(0, 0, 0, 0, c.advance), 3.0f, 4.0f, c.scale).penAdvance,
                    c.expected);
  }
}

TEST(LayoutGlyph, QuadSitsOnTheBaselineWithTheTopRowAtVZero) {
  // A "g"-like glyph: 20 wide, 30 rows, 2 px right of the pen, top 22 above the baseline, so
  // 8 rows hang below it.
  const GlyphQuad quad = LayoutGlyph(MakeGlyph(20, 30, 2, 22, 1600), 100.0f, 50.0f, 0.5f);
  const float xpos = 101.0f, ypos = 46.0f, w = 10.0f, h = 15.0f;
  const float expected[6][4] = {{xpos, ypos + h, 0, 0}, {xpos, ypos, 0, 1},
                                {xpos + w, ypos, 1, 1}, {xpos, ypos + h, 0, 0},
                                {xpos + w, ypos, 1, 1}, {xpos + w, ypos + h, 1, 0}};
  for (int v = 0; v < 6; ++v) {
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(quad.vertices[v][k], expected[v][k]) << v << k;
  }
}

TEST(LayoutGlyph, NegativeBearingAndZeroGlyph) {
  // A bitmap starting left of the pen, and one lying wholly above the baseline.
  const GlyphQuad left = LayoutGlyph(MakeGlyph(4, 6, -3, 40, 0), 10.0f, 0.0f, 1.0f);
  EXPECT_FLOAT_EQ(left.vertices[1][0], 7.0f);
  EXPECT_FLOAT_EQ(left.vertices[1][1], 34.0f);  // y - (6 - 40)
  // The zero glyph (an unknown byte) is an empty quad at the pen that does not move it.
  const GlyphQuad zero = LayoutGlyph(Glyph{}, 5.0f, 7.0f, 3.0f);
  for (const auto& vertex : zero.vertices) {
    EXPECT_FLOAT_EQ(vertex[0], 5.0f);
    EXPECT_FLOAT_EQ(vertex[1], 7.0f);
  }
  EXPECT_FLOAT_EQ(zero.penAdvance, 0.0f);
}
