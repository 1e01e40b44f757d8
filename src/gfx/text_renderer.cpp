// text_renderer.cpp: placeholder until the graphics resources land.
#include "gfx/text_renderer.h"

GlyphQuad LayoutGlyph(const Glyph&, float, float, float) { return GlyphQuad{}; }
TextRenderer::TextRenderer() {}
Glyph& TextRenderer::GetGlyph(char code) { return glyphs[code]; }
void TextRenderer::DrawString(Shader&, const std::string&, float, float, float, glm::vec3) {}
