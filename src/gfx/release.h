// release.h: frees the GL objects of loaded resources. The game keeps its resources for its
// whole run and never needs this; tools that load thousands of files in one context do.
#pragma once

#include "gfx/gl.h"
#include "gfx/model.h"
#include "gfx/text_renderer.h"

void ReleaseModel(Model& model);               // meshes' buffers and every texture
void ReleaseTexture(GLuint& textureId);        // sets the name to 0
void ReleaseTextRenderer(TextRenderer& text);  // glyph textures and the quad's buffers
