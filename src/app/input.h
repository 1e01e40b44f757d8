// input.h: the held-key table, the display toggles and the mouse state, and the key, cursor and
// scroll handlers that GLFW's callbacks forward to.
#pragma once

#include "scene/canoe.h"

struct Game;

struct InputState {
  bool keyState[KeyCount] = {};  // true while the key (GLFW code) is held
  bool showFrameTime = false;    // F2
  bool wireframe = false;        // F3
  bool shadowsEnabled = true;    // F7
  bool firstMouse = true;        // the next cursor event only primes lastX/lastY
  float lastX = 400.0f;
  float lastY = 300.0f;
};

// Key event; returns true when the window should close (Escape pressed).
bool HandleKey(Game& game, int key, int action);
void HandleCursorPos(Game& game, double xpos, double ypos);
void HandleScroll(Game& game, double xoffset, double yoffset);
