// game.h: the state of the one running game, grouped by subsystem: the window size, the frame
// clock, the input record, the camera and view choice, the world and the rules' state. Plain
// data that the application shell writes and the render passes read; tests build fresh ones.
#pragma once

#include <vector>

#include "scene/camera.h"
#include "scene/canoe.h"
#include "scene/game_rules.h"
#include "scene/world.h"

// Frame timing: deltaTime is the duration of the last completed frame (0 on the first pass).
struct FrameClock {
  float deltaTime = 0.0f;
  float lastFrame = 0.0f;
  float currentFrame = 0.0f;
};

// The held keys, the display toggles and the mouse state the input handlers keep.
struct InputState {
  bool keyState[KeyCount] = {};  // true while the key (GLFW code) is held
  bool showFrameTime = false;    // F2
  bool wireframe = false;        // F3
  bool shadowsEnabled = true;    // F7
  bool firstMouse = true;        // the next cursor event only primes lastX/lastY
  float lastX = 400.0f;
  float lastY = 300.0f;
};

// The panel the help key shows over the game: its lines, laid out whenever the keys or their
// labels change, so a frame only draws them.
struct HelpPanel {
  bool shown = false;
  std::vector<HudLine> lines;
};

// The player's HUD options; the defaults draw the HUD as it always was.
struct HudLook {
  float scale = 1.0f;    // text size, 1 to 2
  bool outline = false;  // a dark rim round every glyph
};

struct Game {
  unsigned screenWidth = 1280;  // the drawing size: viewport, window-sized targets, HUD
  unsigned screenHeight = 720;
  FrameClock clock;
  InputState input;
  Camera camera;
  bool seatView = true;  // F6: view from the canoe seat instead of the free camera
  World world;
  GameState state;
  HelpPanel help;
  HudLook hudLook;
};
