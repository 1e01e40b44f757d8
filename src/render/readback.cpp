// readback.cpp: glReadPixels through the read binding only, so the draw framebuffer (and the
// next frame's state) is left as the frame left it.
#include "render/readback.h"

std::vector<unsigned char> ReadFramebufferColor(GLuint framebuffer, unsigned width,
                                                unsigned height) {
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  if (framebuffer == 0) glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA,
               GL_UNSIGNED_BYTE, pixels.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  return pixels;
}

std::vector<float> ReadFramebufferDepth(GLuint framebuffer, unsigned width, unsigned height) {
  std::vector<float> depth(static_cast<size_t>(width) * height);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_DEPTH_COMPONENT,
               GL_FLOAT, depth.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  return depth;
}
