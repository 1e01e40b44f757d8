// game.h: the state of the one running game, grouped by subsystem. Tests build fresh ones.
#pragma once

#include "app/input.h"
#include "scene/camera.h"
#include "scene/game_rules.h"
#include "scene/world.h"

// Frame timing: deltaTime is the duration of the last completed frame (0 on the first pass).
struct FrameClock {
  float deltaTime = 0.0f;
  float lastFrame = 0.0f;
  float currentFrame = 0.0f;
};

struct Game {
  unsigned screenWidth = 1280;
  unsigned screenHeight = 720;
  FrameClock clock;
  InputState input;
  Camera camera;
  bool seatView = true;  // F6: view from the canoe seat instead of the free camera
  World world;
  GameState state;
};
