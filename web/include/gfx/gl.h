// gl.h, browser build: the game's one GL include on WebGL 2. The web build's include path puts
// this folder ahead of src/, so every "gfx/gl.h" of the game lands here, and the game's code
// stays written against desktop GL 3.3 core.
//
// WebGL 2 lacks a few desktop calls and takes some formats differently; those calls are routed
// to the substitutes in gl_substitutes.cpp. Nothing else differs.
#pragma once

#include <GLES3/gl3.h>

// Desktop enums WebGL 2 has no name for, with desktop GL's values.
#define GL_CLAMP_TO_BORDER 0x812D
#define GL_TEXTURE_BORDER_COLOR 0x1004
#define GL_CLIP_DISTANCE0 0x3000
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_TIME_ELAPSED 0x88BF

// GLEW's start-up has nothing to do: the browser hands over every entry point with the context.
#define GLEW_OK 0
inline GLboolean glewExperimental = GL_FALSE;
inline GLenum glewInit() {
  return GLEW_OK;
}

// Unsized depth and red formats become sized ones (WebGL 2 takes no others for them).
void WebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                   GLint border, GLenum format, GLenum type, const void* pixels);
// Border clamping becomes edge clamping; the shaders test the range where it matters.
void WebTexParameteri(GLenum target, GLenum name, GLint value);
void WebTexParameterfv(GLenum target, GLenum name, const GLfloat* values);
// Clip distance 0 is not a capability here: the derived shaders discard instead.
void WebEnable(GLenum capability);
void WebDisable(GLenum capability);
// Wireframe through WEBGL_polygon_mode where the browser has it; otherwise filled.
void WebPolygonMode(GLenum face, GLenum mode);
void WebDrawBuffer(GLenum buffer);
void WebGetQueryObjectui64v(GLuint query, GLenum name, GLuint64* value);

#define glTexImage2D WebTexImage2D
#define glTexParameteri WebTexParameteri
#define glTexParameterfv WebTexParameterfv
#define glEnable WebEnable
#define glDisable WebDisable
#define glPolygonMode WebPolygonMode
#define glDrawBuffer WebDrawBuffer
#define glGetQueryObjectui64v WebGetQueryObjectui64v
