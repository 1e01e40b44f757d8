// session.cpp: start-up steps in their fixed order, shutdown, and the GLFW glue that feeds
// window events and the clock into the frame loop.
#include "app/session.h"

#include <iostream>

// clang-format off
#include "gfx/gl.h"  // GLEW before GLFW
#include <GLFW/glfw3.h>
// clang-format on

#include "app/frame_loop.h"
#include "audio/sound_clip.h"

namespace {

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

int lastGlfwError = 0;  // the code of GLFW's latest complaint, to tell window from context

// GLFW's own reason for a failure goes to standard error, beside our one standard-output line.
void OnGlfwError(int code, const char* description) {
  lastGlfwError = code;
  std::cerr << "GLFW error " << code << ": " << (description ? description : "") << std::endl;
}

GLFWwindow* Fail(const char* line) {
  std::cout << line << std::endl;
  glfwTerminate();
  return nullptr;
}

// The pads are read here, after the keyboard's events and before the frame's keyboard step,
// so they reach the game through the same held keys in the same frame.
void PollEvents(void* user) {
  glfwPollEvents();
  auto* session = static_cast<Session*>(user);
  if (session->readPads) session->readPads(*session);
}
double ReadClock(void*) {
  return glfwGetTime();
}
void Render(void* user) {
  auto* session = static_cast<Session*>(user);
  RenderFrame(*session->game, session->renderer);
}
void SwapBuffers(void* user) {
  glfwSwapBuffers(static_cast<Session*>(user)->window);
}

// A display that cannot switch modes (a virtual display; Wayland desktops emulate the switch
// the same way) gives a full-screen window the monitor's size, not the configured one. Drawing
// the configured size would leave the picture in one corner, so the game takes the size of the
// framebuffer it was given; where the size was granted nothing changes.
void TakeGivenSize(Game& game, GLFWwindow* window) {
  int width = 0, height = 0;
  glfwGetFramebufferSize(window, &width, &height);
  if (width <= 0 || height <= 0) return;
  game.screenWidth = static_cast<unsigned>(width);
  game.screenHeight = static_cast<unsigned>(height);
}

}  // namespace

std::vector<TrialFile> StartupFiles() {
  std::vector<TrialFile> files{{kFontPath, FileKind::Font}};
  for (const char* path : kModelPaths) files.push_back({path, FileKind::Model});
  for (const char* path : kSkyboxFaces) files.push_back({path, FileKind::Image});
  files.push_back({kWaterTexturePath, FileKind::Image});
  files.push_back({kGroundTexturePath, FileKind::Image});
  for (const SoundFile& sound : kSoundFiles) files.push_back({sound.path, FileKind::Sound});
  return files;
}

GLFWwindow* OpenGameWindow(Game& game, const WindowOptions& options) {
  // Nothing later can work without a window and a context, so a failure here stops start-up
  // with one clear line instead of running on with a null window.
  glfwSetErrorCallback(OnGlfwError);
  if (!glfwInit()) return Fail("ERROR::GLFW:: Could not initialise GLFW (is there a display?)");
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_RESIZABLE, GL_FALSE);
  glfwWindowHint(GLFW_REFRESH_RATE, 60);
  if (!options.visible) glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  // Sizes come from settings.conf as signed values. Zero and negative sizes make GLFW fail, and
  // sizes beyond what X11 and GL can hold crash inside the window system, so both are refused
  // here rather than handed on, and so is an area past 8K UHD's.
  const int width = static_cast<int>(game.screenWidth);
  const int height = static_cast<int>(game.screenHeight);
  GLFWwindow* window = nullptr;
  lastGlfwError = 0;
  if (width > 0 && height > 0 && width <= kMaxWindowSide && height <= kMaxWindowSide &&
      static_cast<long long>(width) * height <= kMaxWindowPixels) {
    window = options.fullscreen
                 ? glfwCreateWindow(width, height, "Velloran", glfwGetPrimaryMonitor(), nullptr)
                 : glfwCreateWindow(width, height, "Velloran", nullptr, nullptr);
  }
  // A driver without the context the game needs is not the size's fault: say which it was.
  if (!window &&
      (lastGlfwError == GLFW_VERSION_UNAVAILABLE || lastGlfwError == GLFW_API_UNAVAILABLE ||
       lastGlfwError == GLFW_FORMAT_UNAVAILABLE)) {
    return Fail(
        "ERROR::GLFW:: Could not create an OpenGL 3.3 core context (the graphics driver offers "
        "none)");
  }
  if (!window) {
    return Fail("ERROR::GLFW:: Could not create the window (check the size in settings.conf)");
  }
  glfwMakeContextCurrent(window);
  glfwSetWindowUserPointer(window, &game);
  if (options.installCallbacks) {
    glfwSetKeyCallback(window, OnKey);
    glfwSetCursorPosCallback(window, OnCursorPos);
    glfwSetScrollCallback(window, OnScroll);
    glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
  }
  glewExperimental = GL_TRUE;
  if (glewInit() != GLEW_OK) {
    return Fail("ERROR::GLEW:: Could not load the OpenGL entry points");
  }
  glGetError();  // GLEW's extension probe leaves GL_INVALID_ENUM behind in a core context
  return window;
}

void BuildSession(Session& session, Game& game, GLFWwindow* window) {
  session.game = &game;
  session.window = window;
  TakeGivenSize(game, window);

  // 10-11. Viewport and the fixed GL state.
  glViewport(0, 0, game.screenWidth, game.screenHeight);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  // 12. The eight shader programs.
  session.shaders = BuildShaders();
  // 13. The HUD's text renderer (it sets the byte unpack alignment every upload relies on).
  session.textRenderer = std::make_unique<TextRenderer>();
  // 14. The lit scene program is current while the models load.
  session.shaders.shadowMappingShader.Use();
  // 15. The nine models.
  session.models = std::make_unique<Models>();
  Models& m = *session.models;

  // 16-17. Scene nodes, the water volume with the canoe set onto it; clip distance 0 stays
  // enabled for the whole run.
  const WorldModels worldModels{&m.duckModel,       &m.canoeModel, &m.driverModel,
                                &m.driverArmsModel, &m.cubeModel,  &m.platform2Model,
                                &m.pool2Model,      &m.pool3Model, &m.budmanModel};
  BuildSceneNodes(game.world, worldModels);
  BuildWaterVolume(game.world);
  glEnable(GL_CLIP_DISTANCE0);

  // 18. Fixed geometry, cube map, water and ground textures.
  CreateStaticGeometry(session.targets);
  // 19. Ground plane matrix; the water scaled to the pool.
  ScaleGroundAndWater(game.world);
  // 20. The four off-screen framebuffers (framebuffer 0 bound afterwards).
  CreateFramebuffers(session.targets, game.screenWidth, game.screenHeight);
  // 21. Clear colour.
  glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
  // 22. The arms' starting pose and the paddle state.
  SetArmsStartPose(game.world);
  ResetPaddle(game.state);

  session.renderer = Renderer{&session.shaders, session.textRenderer.get(), &session.targets};
}

void EndSession(Session& session) {
  glDeleteFramebuffers(1, &session.targets.sceneTarget);
  if (session.ownsWindow) glfwTerminate();
  // Models and glyph tables only free memory: safe after the context is gone.
  session.models.reset();
  session.textRenderer.reset();
}

FrameHooks SessionFrameHooks(Session& session) {
  return FrameHooks{&session, PollEvents, ReadClock, Render, SwapBuffers};
}

void RunSessionFrame(Session& session) {
  RunFrame(*session.game, SessionFrameHooks(session));
}
