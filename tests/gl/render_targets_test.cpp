// Render targets and fixed geometry: sizes follow the window, the shadow map does not, every
// framebuffer is complete, and the vertex layouts are what the shaders read.
#include "render/render_targets.h"

#include <gtest/gtest.h>

#include <vector>

#include "gl_context.h"

namespace {

GLint TexLevelParam(GLuint texture, GLenum pname) {
  GLint value = 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, pname, &value);
  glBindTexture(GL_TEXTURE_2D, 0);
  return value;
}

GLint TexParam(GLuint texture, GLenum pname) {
  GLint value = 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexParameteriv(GL_TEXTURE_2D, pname, &value);
  glBindTexture(GL_TEXTURE_2D, 0);
  return value;
}

GLint RenderbufferParam(GLuint renderbuffer, GLenum pname) {
  GLint value = 0;
  glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, pname, &value);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  return value;
}

GLenum StatusOf(GLuint framebuffer) {
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return status;
}

void DeleteTargets(RenderTargets& t) {
  const GLuint framebuffers[] = {t.sceneTarget, t.reflectionTarget, t.compositeTarget,
                                 t.shadowTarget};
  glDeleteFramebuffers(4, framebuffers);
  const GLuint textures[] = {t.sceneColor,     t.reflectionColor, t.compositeColor, t.depthMap,
                             t.cubemapTexture, t.waterTexture,    t.groundTexture};
  glDeleteTextures(7, textures);
  const GLuint renderbuffers[] = {t.sceneDepthStencil, t.reflectionDepthStencil,
                                  t.compositeDepthStencil};
  glDeleteRenderbuffers(3, renderbuffers);
  const GLuint arrays[] = {t.skyboxVAO, t.planeVAO, t.screenQuadVAO};
  glDeleteVertexArrays(3, arrays);
}

struct WindowSize {
  unsigned width, height;
};

class RenderTargetsBySize : public ::testing::TestWithParam<WindowSize> {};

TEST_P(RenderTargetsBySize, FollowTheWindowAndAreComplete) {
  const WindowSize size = GetParam();
  RenderTargets t;
  const std::string printed = CaptureStdout([&] {
    CreateStaticGeometry(t);
    CreateFramebuffers(t, size.width, size.height);
  });
  EXPECT_EQ(printed, "") << "every target is complete on a 3.3 core context";

  GLint bound = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(bound, 0);

  for (GLuint color : {t.sceneColor, t.reflectionColor, t.compositeColor}) {
    EXPECT_EQ(TexLevelParam(color, GL_TEXTURE_WIDTH), static_cast<GLint>(size.width));
    EXPECT_EQ(TexLevelParam(color, GL_TEXTURE_HEIGHT), static_cast<GLint>(size.height));
    EXPECT_EQ(TexParam(color, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(TexParam(color, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  }
  for (GLuint rb : {t.sceneDepthStencil, t.reflectionDepthStencil, t.compositeDepthStencil}) {
    EXPECT_EQ(RenderbufferParam(rb, GL_RENDERBUFFER_WIDTH), static_cast<GLint>(size.width));
    EXPECT_EQ(RenderbufferParam(rb, GL_RENDERBUFFER_HEIGHT), static_cast<GLint>(size.height));
    EXPECT_EQ(RenderbufferParam(rb, GL_RENDERBUFFER_INTERNAL_FORMAT), GL_DEPTH24_STENCIL8);
  }
  EXPECT_EQ(TexLevelParam(t.depthMap, GL_TEXTURE_WIDTH), ShadowMapSize);
  EXPECT_EQ(TexLevelParam(t.depthMap, GL_TEXTURE_HEIGHT), ShadowMapSize);

  for (GLuint fb : {t.sceneTarget, t.reflectionTarget, t.compositeTarget, t.shadowTarget}) {
    EXPECT_EQ(StatusOf(fb), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  }
  // Only the reflection mirrors past its edge (the water's ripples read beyond it).
  EXPECT_EQ(TexParam(t.reflectionColor, GL_TEXTURE_WRAP_S), GL_MIRRORED_REPEAT);
  EXPECT_EQ(TexParam(t.reflectionColor, GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);
  EXPECT_EQ(TexParam(t.sceneColor, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(TexParam(t.compositeColor, GL_TEXTURE_WRAP_T), GL_REPEAT);
  DeleteTargets(t);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RenderTargetsBySize,
                         ::testing::Values(WindowSize{800, 600}, WindowSize{1280, 720}));

TEST(RenderTargets, ShadowMapIsPlainDepthWithAWhiteBorder) {
  RenderTargets t;
  CaptureStdout([&] { CreateFramebuffers(t, 64, 64); });
  EXPECT_EQ(TexParam(t.depthMap, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
  EXPECT_EQ(TexParam(t.depthMap, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(TexParam(t.depthMap, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_BORDER);
  EXPECT_EQ(TexParam(t.depthMap, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_BORDER);
  EXPECT_EQ(TexParam(t.depthMap, GL_TEXTURE_COMPARE_MODE), GL_NONE);
  GLfloat border[4] = {0, 0, 0, 0};
  glBindTexture(GL_TEXTURE_2D, t.depthMap);
  glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
  glBindTexture(GL_TEXTURE_2D, 0);
  for (float c : border) EXPECT_FLOAT_EQ(c, 1.0f);
  // The shadow target has no colour: draw and read buffers are off.
  glBindFramebuffer(GL_FRAMEBUFFER, t.shadowTarget);
  GLint drawBuffer = -1, readBuffer = -1;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  EXPECT_EQ(drawBuffer, GL_NONE);
  EXPECT_EQ(readBuffer, GL_NONE);
  DeleteTargets(t);
}

TEST(RenderTargets, AttachmentTextureModes) {
  struct Case {
    bool depthStencil;
    GLint internalFormat;
  };
  for (const Case c : {Case{false, GL_RGBA}, Case{true, GL_DEPTH24_STENCIL8}}) {
    const GLuint texture = CreateAttachmentTexture(c.depthStencil, 320, 200);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(TexLevelParam(texture, GL_TEXTURE_WIDTH), 320);
    EXPECT_EQ(TexLevelParam(texture, GL_TEXTURE_HEIGHT), 200);
    const GLint format = TexLevelParam(texture, GL_TEXTURE_INTERNAL_FORMAT);
    if (c.depthStencil) {
      EXPECT_EQ(format, c.internalFormat);
    } else {
      EXPECT_TRUE(format == GL_RGBA || format == GL_RGBA8) << format;
    }
    EXPECT_EQ(TexParam(texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    glDeleteTextures(1, &texture);
  }
}

// What the shaders read: each VAO's attribute table and its buffer's contents.
TEST(RenderTargets, StaticGeometryLayouts) {
  RenderTargets t;
  CaptureStdout([&] { CreateStaticGeometry(t); });
  struct Attribute {
    GLuint vao;
    GLuint location;
    GLint components, stride;
    size_t offset;
  };
  const Attribute attributes[] = {
      {t.skyboxVAO, 0, 3, 12, 0},     {t.planeVAO, 0, 3, 44, 0},  {t.planeVAO, 1, 3, 44, 12},
      {t.planeVAO, 2, 2, 44, 24},     {t.planeVAO, 3, 3, 44, 32}, {t.screenQuadVAO, 0, 2, 16, 0},
      {t.screenQuadVAO, 1, 2, 16, 8},
  };
  for (const Attribute& a : attributes) {
    glBindVertexArray(a.vao);
    GLint enabled = 0, size = 0, stride = 0, type = 0;
    void* pointer = nullptr;
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
    glGetVertexAttribiv(a.location, GL_VERTEX_ATTRIB_ARRAY_TYPE, &type);
    glGetVertexAttribPointerv(a.location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
    EXPECT_TRUE(enabled) << "vao " << a.vao << " location " << a.location;
    EXPECT_EQ(size, a.components);
    EXPECT_EQ(stride, a.stride);
    EXPECT_EQ(type, GL_FLOAT);
    EXPECT_EQ(reinterpret_cast<size_t>(pointer), a.offset);
  }
  glBindVertexArray(0);

  struct Buffer {
    GLuint vao;
    GLint bytes;
  };
  std::vector<float> plane;
  for (const Buffer b :
       {Buffer{t.skyboxVAO, 432}, Buffer{t.planeVAO, 264}, Buffer{t.screenQuadVAO, 96}}) {
    glBindVertexArray(b.vao);
    GLint buffer = 0, bytes = 0;
    glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(buffer));
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
    EXPECT_EQ(bytes, b.bytes);
    if (b.vao == t.planeVAO) {
      plane.resize(66);
      glGetBufferSubData(GL_ARRAY_BUFFER, 0, 264, plane.data());
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
  }
  // The plane: y = -0.5, (0, 0, 1) where models keep their normal, the real normal last.
  for (int v = 0; v < 6; ++v) {
    const float* p = &plane[v * 11];
    EXPECT_FLOAT_EQ(p[1], -0.5f);
    EXPECT_FLOAT_EQ(p[3], 0.0f);
    EXPECT_FLOAT_EQ(p[4], 0.0f);
    EXPECT_FLOAT_EQ(p[5], 1.0f);
    EXPECT_FLOAT_EQ(p[8], 0.0f);
    EXPECT_FLOAT_EQ(p[9], 1.0f);
    EXPECT_FLOAT_EQ(p[10], 0.0f);
  }
  DeleteTargets(t);
}

}  // namespace
