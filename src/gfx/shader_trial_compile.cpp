// shader_trial_compile.cpp: a GL 3.3 core context for a shader trial worker, the compile and
// link calls of Shader (shader.cpp) without their reports, and one draw of the linked program.
//
// The context comes from EGL with no surface and no display connection where Mesa offers that
// (EGL_MESA_platform_surfaceless), so a worker taken over by a shader holds no connection to
// the X server; there it also draws each program once into a small target of its own, since
// the software renderer generates a program's machine code only at its first draw. Elsewhere,
// or with VELLORAN_TRIAL_GLX set (to try that path), it is a hidden GLFW window as the game's
// own, and the worker only compiles and links: drawing there would talk to the display.
#include "gfx/shader_trial_compile.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

// clang-format off
#include "gfx/gl.h"  // GLEW before GLFW and EGL
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLFW/glfw3.h>
// clang-format on

namespace {

constexpr GLsizei kTrialTargetSide = 16;  // the draw's target: its cost is the code, not pixels

// A colour texture of the trial target's size.
GLuint TinyTarget(GLint format, GLenum layout, GLenum type) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, format, kTrialTargetSide, kTrialTargetSide, 0, layout, type,
               nullptr);
  return texture;
}

TrialContextKind PickTrialContext() {
  if (std::getenv("VELLORAN_TRIAL_GLX")) return TrialContextKind::Window;
  // The client extensions are known before any display is opened.
  const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  const bool surfaceless = extensions && std::strstr(extensions, "EGL_MESA_platform_surfaceless") &&
                           std::strstr(extensions, "EGL_EXT_platform_base");
  return surfaceless ? TrialContextKind::Headless : TrialContextKind::Window;
}

// GLEW built for GLX finds no GLX display with an EGL context and says so, but it has loaded
// the entry points by then: accept that only when every call the trial makes is there.
bool LoadEntryPoints() {
  glewExperimental = GL_TRUE;
  const GLenum loaded = glewInit();
  if (loaded != GLEW_OK && loaded != GLEW_ERROR_NO_GLX_DISPLAY) return false;
  glGetError();  // GLEW's extension probe leaves GL_INVALID_ENUM behind in a core context
  return glCreateShader && glShaderSource && glCompileShader && glGetShaderiv && glCreateProgram &&
         glAttachShader && glLinkProgram && glGetProgramiv && glGenFramebuffers &&
         glGenVertexArrays && glGetActiveUniform && glUniform1i;
}

bool OpenHeadlessContext() {
  const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) return false;
  const EGLDisplay display =
      getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) return false;
  if (!eglBindAPI(EGL_OPENGL_API)) return false;
  const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                               3,
                               EGL_CONTEXT_MINOR_VERSION,
                               3,
                               EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                               EGL_NONE};
  const EGLContext context =
      eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) return false;
  return eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) && LoadEntryPoints();
}

// A virtual display now and then refuses a new client for a moment: a few tries, then none.
bool OpenWindowContext() {
  bool initialised = false;
  for (int attempt = 0; attempt < 3 && !initialised; ++attempt) {
    if (attempt > 0) usleep(100 * 1000);
    initialised = glfwInit() == GLFW_TRUE;
  }
  if (!initialised) return false;
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  GLFWwindow* window = glfwCreateWindow(16, 16, "Velloran shader trial", nullptr, nullptr);
  if (!window) return false;
  glfwMakeContextCurrent(window);
  return LoadEntryPoints();
}

bool OpenTrialContext(TrialContextKind kind) {
  return kind == TrialContextKind::Headless ? OpenHeadlessContext() : OpenWindowContext();
}

// The source is handed over as Shader hands it: one NUL-terminated string.
unsigned CompileTrialStage(bool vertex, const std::string& source) {
  const GLuint shader = glCreateShader(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint success = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &success);  // a driver may compile only when asked
  return shader;
}

// The worker ends after its pair, so nothing here is ever deleted.
unsigned LinkTrialStages(unsigned vertex, unsigned fragment) {
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  GLint success = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &success);
  return program;
}

// A 1 x 1 texture of `target`, complete, so sampling reads texels as in the game.
GLuint TinyTexture(GLenum target) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(target, texture);
  const unsigned char texel[3] = {128, 128, 128};
  const bool cube = target == GL_TEXTURE_CUBE_MAP;
  for (int face = 0; face < (cube ? 6 : 1); ++face) {
    const GLenum image = cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : target;
    glTexImage2D(image, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
  }
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  return texture;
}

// Every sampler on a unit of its own with a texture of its kind: samplers of two kinds left on
// one unit would make the draw fail before the renderer builds anything.
void BindSamplers(GLuint program) {
  GLint uniforms = 0;
  glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &uniforms);
  GLint unit = 0;
  for (GLint i = 0; i < uniforms && unit < 16; ++i) {
    char name[256];
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
    const GLenum target = type == GL_SAMPLER_2D     ? GL_TEXTURE_2D
                          : type == GL_SAMPLER_CUBE ? GL_TEXTURE_CUBE_MAP
                                                    : 0;
    if (target == 0) continue;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    TinyTexture(target);
    glUniform1i(glGetUniformLocation(program, name), unit++);
  }
}

// One draw with the state of the pass that uses the program, into a 16 x 16 target of the
// pass's kind, waited for: that is when the renderer generates the program's code.
void DrawTrialProgram(unsigned program, const ShaderPassState& pass) {
  GLuint target = 0;
  glGenFramebuffers(1, &target);
  glBindFramebuffer(GL_FRAMEBUFFER, target);
  if (pass.colour) {
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           TinyTarget(GL_RGB, GL_RGB, GL_UNSIGNED_BYTE), 0);
  } else {
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
  }
  GLuint depth = 0;
  glGenRenderbuffers(1, &depth);
  glBindRenderbuffer(GL_RENDERBUFFER, depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kTrialTargetSide, kTrialTargetSide);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
  glViewport(0, 0, kTrialTargetSide, kTrialTargetSide);
  if (pass.depthTest) glEnable(GL_DEPTH_TEST);
  glDepthFunc(pass.depthLessEqual ? GL_LEQUAL : GL_LESS);
  if (pass.blend) glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColorMask(!pass.alphaOnly, !pass.alphaOnly, !pass.alphaOnly, GL_TRUE);
  glEnable(GL_CULL_FACE);
  glEnable(GL_CLIP_DISTANCE0);
  glUseProgram(program);
  BindSamplers(program);
  GLuint vertexArray = 0;
  glGenVertexArrays(1, &vertexArray);
  glBindVertexArray(vertexArray);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glFinish();
}

bool TrialOutOfMemory() {
  bool outOfMemory = false;
  for (int i = 0; i < 16; ++i) {  // errors queue up one per kind at most
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) break;
    outOfMemory = outOfMemory || error == GL_OUT_OF_MEMORY;
  }
  return outOfMemory;
}

}  // namespace

ShaderTrialDriver GameShaderTrialDriver() {
  return ShaderTrialDriver{PickTrialContext, OpenTrialContext, CompileTrialStage,
                           LinkTrialStages,  DrawTrialProgram, TrialOutOfMemory};
}
