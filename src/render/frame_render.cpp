// frame_render.cpp: placeholder until the render pipeline lands: clears the window.
#include "render/frame_render.h"

void RenderFrame(Game& game, Renderer&) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, game.screenWidth, game.screenHeight);
  glClearColor(0.1f, 0.3f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
