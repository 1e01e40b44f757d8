// release.cpp: deleting what the loaders created.
#include "gfx/release.h"

void ReleaseModel(Model& model) {
  for (Mesh& mesh : model.meshes) {
    glDeleteVertexArrays(1, &mesh.vao);
    glDeleteBuffers(1, &mesh.vbo);
    glDeleteBuffers(1, &mesh.ebo);
  }
  for (Texture& texture : model.loadedTextures) glDeleteTextures(1, &texture.id);
  model.meshes.clear();
  model.loadedTextures.clear();
}

void ReleaseTexture(GLuint& textureId) {
  glDeleteTextures(1, &textureId);
  textureId = 0;
}

void ReleaseTextRenderer(TextRenderer& text) {
  for (auto& entry : text.glyphs) glDeleteTextures(1, &entry.second.textureId);
  text.glyphs.clear();
  glDeleteVertexArrays(1, &text.vao);
  glDeleteBuffers(1, &text.vbo);
}
