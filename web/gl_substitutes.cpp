// gl_substitutes.cpp: the WebGL 2 forms of the desktop GL calls the browser build routes here
// (see include/gfx/gl.h). This file calls the real entry points, so it includes GLES directly.
#include <GLES3/gl3.h>
#include <emscripten.h>

namespace {

constexpr GLenum kClampToBorder = 0x812D;
constexpr GLenum kBorderColor = 0x1004;
constexpr GLenum kClipDistance0 = 0x3000;
constexpr GLenum kLine = 0x1B01;

// Without the extension the call does nothing: the view stays filled, and the page has said
// that this browser has no wireframe (see web_main.cpp).
// clang-format off
EM_JS(void, PolygonModeWebgl, (GLenum face, GLenum mode), {
  var ext = GLctx.velloranPolygonMode;
  if (ext === undefined) ext = GLctx.velloranPolygonMode = GLctx.getExtension('WEBGL_polygon_mode');
  if (ext) ext.polygonModeWEBGL(face, mode);
});
// clang-format on

}  // namespace

void WebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                   GLint border, GLenum format, GLenum type, const void* pixels) {
  if (internalFormat == GL_DEPTH_COMPONENT && type == GL_FLOAT) {
    internalFormat = GL_DEPTH_COMPONENT32F;
  } else if (internalFormat == GL_RED && type == GL_UNSIGNED_BYTE) {
    internalFormat = GL_R8;
  }
  glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

void WebTexParameteri(GLenum target, GLenum name, GLint value) {
  if (value == static_cast<GLint>(kClampToBorder)) value = GL_CLAMP_TO_EDGE;
  glTexParameteri(target, name, value);
}

void WebTexParameterfv(GLenum target, GLenum name, const GLfloat* values) {
  if (name != kBorderColor) glTexParameterfv(target, name, values);
}

void WebEnable(GLenum capability) {
  if (capability != kClipDistance0) glEnable(capability);
}

void WebDisable(GLenum capability) {
  if (capability != kClipDistance0) glDisable(capability);
}

void WebPolygonMode(GLenum face, GLenum mode) {
  // Filled is WebGL's only mode until wireframe is first asked for; browsers warn on enabling
  // the extension, so that waits until the player wants it.
  static bool lineAsked = false;
  lineAsked = lineAsked || mode == kLine;
  if (lineAsked) PolygonModeWebgl(face, mode);
}

void WebDrawBuffer(GLenum buffer) {
  glDrawBuffers(1, &buffer);
}

void WebGetQueryObjectui64v(GLuint query, GLenum name, GLuint64* value) {
  GLuint low = 0;
  glGetQueryObjectuiv(query, name, &low);
  *value = low;
}
