// session.h: everything start-up builds around one game (window, shaders, text, models,
// world, render targets), so the real program, the scripted-play driver and the benchmark all
// start and stop the game the same way.
#pragma once

#include <memory>
#include <vector>

#include "app/frame_loop.h"
#include "app/game.h"
#include "app/gamepad.h"
#include "gfx/model.h"
#include "gfx/text_renderer.h"
#include "render/frame_render.h"
#include "render/render_targets.h"
#include "render/shader_set.h"
#include "trial/file_trial.h"

struct GLFWwindow;

// The nine model files, in the order they load.
constexpr const char* kModelPaths[9] = {
    "assets/duck/duck.dae",  "assets/canoe.dae", "assets/driver.dae",
    "assets/driverArms.dae", "assets/cube.dae",  "assets/platform2.dae",
    "assets/pool2.dae",      "assets/pool3.dae", "assets/budman.dae"};

// The nine models, loaded in this order.
struct Models {
  Model duckModel{kModelPaths[0]};
  Model canoeModel{kModelPaths[1]};
  Model driverModel{kModelPaths[2]};
  Model driverArmsModel{kModelPaths[3]};
  Model cubeModel{kModelPaths[4]};
  Model platform2Model{kModelPaths[5]};
  Model pool2Model{kModelPaths[6]};
  Model pool3Model{kModelPaths[7]};
  Model budmanModel{kModelPaths[8]};
};

struct Session {
  Game* game = nullptr;
  GLFWwindow* window = nullptr;
  bool ownsWindow = false;  // false when the caller handed in a window (tests)
  ShaderSet shaders;
  std::unique_ptr<TextRenderer> textRenderer;
  std::unique_ptr<Models> models;
  RenderTargets targets;
  Renderer renderer;
  PadMemory pads;                        // what the gamepads held last frame
  bool padNoted[kPadSlots] = {};         // a slot's unusable joystick has been reported
  void (*readPads)(Session&) = nullptr;  // applies the pads right after the window's events
};

// How start-up opens its window.
struct WindowOptions {
  bool fullscreen = false;
  bool visible = true;
  bool installCallbacks = true;  // key, cursor and scroll callbacks + captured cursor
};

// Largest window side start-up accepts: every window-sized render target must fit in a GL
// texture, and 16384 is the common maximum (llvmpipe's included).
constexpr int kMaxWindowSide = 16384;
// Largest window area start-up accepts, 8K UHD's: the window-sized targets of a 16384 x 16384
// window would take gigabytes before the first frame, on any driver.
constexpr long long kMaxWindowPixels = 7680LL * 4320LL;

// Every file start-up decodes, in the order it decodes them (a model's textures follow it).
std::vector<TrialFile> StartupFiles();

// Opens the window (steps 3-9). Prints one "ERROR::" line and returns null on failure.
GLFWwindow* OpenGameWindow(Game& game, const WindowOptions& options);

// Steps 10-22 on the current context of `window`: GL state, shaders, text, models, world,
// render targets. game.screenWidth/Height and the ducks' flags must already be set; the size
// becomes the window's framebuffer size where the system gave another (full screen on a
// display that keeps its mode).
void BuildSession(Session& session, Game& game, GLFWwindow* window);

// Shutdown: deletes the scene framebuffer; ends GLFW if the session opened the window; frees
// the models and glyphs afterwards (their destructors make no GL calls).
void EndSession(Session& session);

// The real frame loop's hooks for this session (events, clock and swap from GLFW).
FrameHooks SessionFrameHooks(Session& session);
// One pass of the real frame loop for this session.
void RunSessionFrame(Session& session);
