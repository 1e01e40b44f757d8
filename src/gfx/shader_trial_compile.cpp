// shader_trial_compile.cpp: a hidden GL 3.3 core context for a shader trial worker, and the
// compile and link calls of Shader (shader.cpp) without their reports.
#include "gfx/shader_trial_compile.h"

#include <unistd.h>

// clang-format off
#include "gfx/gl.h"  // GLEW before GLFW
#include <GLFW/glfw3.h>
// clang-format on

namespace {

// A virtual display now and then refuses a new client for a moment: a few tries, then none.
bool OpenTrialContext() {
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
  glewExperimental = GL_TRUE;
  if (glewInit() != GLEW_OK) return false;
  glGetError();  // GLEW's extension probe leaves GL_INVALID_ENUM behind in a core context
  return true;
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
  return ShaderTrialDriver{OpenTrialContext, CompileTrialStage, LinkTrialStages, TrialOutOfMemory};
}
