// app.cpp: start-up and shutdown in their fixed order, and the GLFW glue that feeds window
// events and the clock into the frame loop.
#include "app/app.h"

#include <iostream>

#include "gfx/gl.h"  // GLEW before GLFW
#include <GLFW/glfw3.h>

#include "app/frame_loop.h"
#include "app/game.h"
#include "app/settings.h"
#include "gfx/model.h"
#include "gfx/text_renderer.h"
#include "render/frame_render.h"
#include "render/render_targets.h"
#include "render/shader_set.h"

namespace {

// The one running game. The callbacks reach it through the window's user pointer.
Game* RunningGame(GLFWwindow* window) {
  return static_cast<Game*>(glfwGetWindowUserPointer(window));
}

void OnKey(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/) {
  if (HandleKey(*RunningGame(window), key, action)) glfwSetWindowShouldClose(window, GL_TRUE);
}

void OnCursorPos(GLFWwindow* window, double xpos, double ypos) {
  HandleCursorPos(*RunningGame(window), xpos, ypos);
}

void OnScroll(GLFWwindow* window, double xoffset, double yoffset) {
  HandleScroll(*RunningGame(window), xoffset, yoffset);
}

// The nine models, loaded in this order; destroyed in reverse after GLFW has ended.
struct Models {
  Model duckModel{"assets/duck/duck.dae"};
  Model canoeModel{"assets/canoe.dae"};
  Model driverModel{"assets/driver.dae"};
  Model driverArmsModel{"assets/driverArms.dae"};
  Model cubeModel{"assets/cube.dae"};
  Model platform2Model{"assets/platform2.dae"};
  Model pool2Model{"assets/pool2.dae"};
  Model pool3Model{"assets/pool3.dae"};
  Model budmanModel{"assets/budman.dae"};
};

struct LoopContext {
  GLFWwindow* window;
  Game* game;
  Renderer* renderer;
};

void PollEvents(void*) { glfwPollEvents(); }
double ReadClock(void*) { return glfwGetTime(); }
void Render(void* user) {
  auto* ctx = static_cast<LoopContext*>(user);
  RenderFrame(*ctx->game, *ctx->renderer);
}
void SwapBuffers(void* user) { glfwSwapBuffers(static_cast<LoopContext*>(user)->window); }

int Fail(const char* line) {
  std::cout << line << std::endl;
  glfwTerminate();
  return 1;
}

}  // namespace

int RunVelloran() {
  // The game's state is large (nodes, key table) and must outlive every callback: keep it in
  // static storage rather than on the stack.
  static Game game;

  // 1. Settings.
  const Settings settings("settings.conf");
  game.screenWidth = static_cast<unsigned>(settings.width);
  game.screenHeight = static_cast<unsigned>(settings.height);

  // 2. Every duck starts on the water.
  MarkAllDucksPresent(game.state);

  // 3-5. Window and context. Nothing later can work without them, so a failure here stops
  // the program with one clear line instead of running on with a null window.
  if (!glfwInit()) return Fail("ERROR::GLFW:: Could not initialise GLFW (is there a display?)");
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_RESIZABLE, GL_FALSE);
  glfwWindowHint(GLFW_REFRESH_RATE, 60);
  const int width = static_cast<int>(game.screenWidth);
  const int height = static_cast<int>(game.screenHeight);
  GLFWwindow* window = nullptr;
  if (width > 0 && height > 0) {
    window = settings.fullscreen
                 ? glfwCreateWindow(width, height, "Velloran", glfwGetPrimaryMonitor(), nullptr)
                 : glfwCreateWindow(width, height, "Velloran", nullptr, nullptr);
  }
  if (!window) {
    return Fail("ERROR::GLFW:: Could not create the window (check the size in settings.conf)");
  }

  // 6-8. Context, input callbacks, captured cursor.
  glfwMakeContextCurrent(window);
  glfwSetWindowUserPointer(window, &game);
  glfwSetKeyCallback(window, OnKey);
  glfwSetCursorPosCallback(window, OnCursorPos);
  glfwSetScrollCallback(window, OnScroll);
  glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_DISABLED);

  // 9. GL entry points.
  glewExperimental = GL_TRUE;
  if (glewInit() != GLEW_OK) return Fail("ERROR::GLEW:: Could not load the OpenGL entry points");

  // 10-11. Viewport and the fixed GL state.
  glViewport(0, 0, game.screenWidth, game.screenHeight);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  {
    // 12. The eight shader programs.
    ShaderSet shaders = BuildShaders();
    // 13. The HUD's text renderer (sets the byte unpack alignment every upload relies on).
    TextRenderer textRenderer;
    // 14. The lit scene program is current while the models load.
    shaders.shadowMappingShader.Use();
    // 15. The nine models.
    Models models;

    // 16-17. Scene nodes, water volume, canoe on the water; clip distance 0 for the passes.
    WorldModels worldModels{&models.duckModel,      &models.canoeModel,  &models.driverModel,
                            &models.driverArmsModel, &models.cubeModel,  &models.platform2Model,
                            &models.pool2Model,     &models.pool3Model,  &models.budmanModel};
    BuildSceneNodes(game.world, worldModels);
    BuildWaterVolume(game.world);
    glEnable(GL_CLIP_DISTANCE0);

    // 18. Fixed geometry, cube map, water and ground textures.
    RenderTargets targets;
    CreateStaticGeometry(targets);
    // 19. Ground plane matrix and the water scaled to the pool.
    ScaleGroundAndWater(game.world);
    // 20. The four off-screen framebuffers (framebuffer 0 bound afterwards).
    CreateFramebuffers(targets, game.screenWidth, game.screenHeight);
    // 21. Clear colour.
    glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
    // 22. Arms' starting pose and paddle state.
    SetArmsStartPose(game.world);
    ResetPaddle(game.state);

    // 23. The frame loop.
    Renderer renderer{&shaders, &textRenderer, &targets};
    LoopContext context{window, &game, &renderer};
    FrameHooks hooks{&context, PollEvents, ReadClock, Render, SwapBuffers};
    while (!glfwWindowShouldClose(window)) RunFrame(game, hooks);

    // Shutdown: 1. the scene framebuffer; 2. GLFW, which takes the context and every other GL
    // object with it; 3. the models and the glyph table free their memory (no GL calls) as
    // this block ends, in reverse order of construction.
    glDeleteFramebuffers(1, &targets.sceneTarget);
    glfwTerminate();
  }
  return 0;
}
