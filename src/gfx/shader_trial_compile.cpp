// shader_trial_compile.cpp: a GL 3.3 core context for a shader trial worker, and the compile
// and link calls of Shader (shader.cpp) without their reports.
//
// The context comes from EGL with no surface and no display connection where Mesa offers that
// (EGL_MESA_platform_surfaceless), so a worker taken over by a shader holds no connection to
// the X server. Elsewhere, or with VELLORAN_TRIAL_GLX set (to try that path), it is a hidden
// GLFW window as the game's own. Either way the worker only compiles and links: drawing would
// need executable memory (llvmpipe's JIT) and, with a window, the display.
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
         glAttachShader && glLinkProgram && glGetProgramiv && glDeleteShader && glDeleteProgram;
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

void LinkTrialStages(unsigned vertex, unsigned fragment) {
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  GLint success = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &success);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  glDeleteProgram(program);
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
  return ShaderTrialDriver{PickTrialContext, OpenTrialContext, CompileTrialStage, LinkTrialStages,
                           TrialOutOfMemory};
}
