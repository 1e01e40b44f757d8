// gl_main.cpp: entry of the GL test binary: one hidden window and context for every test.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gl_context.h"
#include "trial/file_trial.h"

namespace {
GLFWwindow* window = nullptr;

bool HasExtension(const char* name) {
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const char* e = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, i));
    if (e && std::strcmp(e, name) == 0) return true;
  }
  return false;
}

// Keeps the loaded DRI driver mapped until the process ends. The driver keeps allocations in
// its own globals (llvmpipe's compiled draw and mipmap code); once glfwTerminate unloads it,
// LeakSanitizer finds them unreachable in an unknown module that no suppression can name.
void PinGlDriver() {
  std::vector<std::string> drivers;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* found) {
        if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so")) {
          static_cast<std::vector<std::string>*>(found)->push_back(info->dlpi_name);
        }
        return 0;
      },
      &drivers);
  for (const std::string& driver : drivers) {
    dlopen(driver.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  }
}
}  // namespace

GLFWwindow* TestWindow() {
  return window;
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The tests build models, images, fonts and shaders from the repository's own files.
  SetDecodeWhere(DecodeWhere::InProcess);
  // Test discovery only lists names: no display needed for that.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  // A shared virtual display now and then refuses a client for a moment: try again briefly,
  // as the end-to-end tests do for the game.
  bool ready = glfwInit();
  for (int attempt = 0; !ready && attempt < 4; ++attempt) {
    sleep(1);
    ready = glfwInit();
  }
  if (!ready) {
    std::fprintf(stderr, "gl_tests: no display (run under xvfb-run -a)\n");
    return 1;
  }
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  window = glfwCreateWindow(1280, 720, "gl_tests", nullptr, nullptr);
  if (!window) {
    std::fprintf(stderr, "gl_tests: could not create a GL 3.3 core context\n");
    glfwTerminate();
    return 1;
  }
  glfwMakeContextCurrent(window);
  glewExperimental = GL_TRUE;
  if (glewInit() != GLEW_OK) {
    std::fprintf(stderr, "gl_tests: glewInit failed\n");
    glfwTerminate();
    return 1;
  }
  glGetError();  // GLEW's probe can leave GL_INVALID_ENUM behind in a core context
  // gl.without_optional_extensions switches the lit shader's optional extensions off in the
  // driver; if they are still offered, that run would not draw through the fallback paths.
  if (std::getenv("VELLORAN_EXPECT_NO_OPTIONAL_EXTENSIONS")) {
    for (const char* name : {"GL_ARB_shading_language_420pack", "GL_ARB_texture_gather"}) {
      if (HasExtension(name)) {
        std::fprintf(stderr, "gl_tests: the driver still offers %s\n", name);
        glfwTerminate();
        return 1;
      }
    }
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  PinGlDriver();
  const int result = RUN_ALL_TESTS();
  glfwTerminate();
  return result;
}
