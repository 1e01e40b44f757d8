// game_rules.h: the timed duck hunt: countdown, collection, game over, HUD lines and layout,
// and the driver's paddling arms.
#pragma once

#include <glm/glm.hpp>
#include <string>

#include "scene/world.h"

struct GameState {
  float timeLeft = 90.0f;
  int secondsShown = 90;
  int ducksCollected = 0;
  bool duckAlive[DuckCount] = {};  // set true at start-up (MarkAllDucksPresent)
  bool gameOver = false;
  float paddleStroke = 0.0f;
  float paddleSpeed = -60.0f;
};

void MarkAllDucksPresent(GameState& state);
void ResetPaddle(GameState& state);                     // stroke 0, speed -60
void CountdownStep(GameState& state, float deltaTime);  // previous frame's deltaTime
// After duck i has been drawn: collect it if the canoe's box touches it. Returns true if so.
bool CollectDuckIfTouched(GameState& state, const World& world, int duckIndex);
void PaddleStep(GameState& state, SceneNode& armsNode, float deltaTime);

// One HUD line: text, pen start in window pixels (origin bottom-left), scale.
struct HudLine {
  std::string text;
  float x = 0.0f;
  float y = 0.0f;
  float scale = 1.0f;
};

// Up to four lines, in drawing order (a fixed array: the HUD allocates only its strings).
struct HudLines {
  HudLine lines[4];
  int count = 0;
};

// The lines to draw this frame, in drawing order; takes the game-over decision.
HudLines BuildHudLines(GameState& state, bool showFrameTime, float deltaTime, unsigned width,
                       unsigned height);
// The lines at `scale` times their size, each kept as far from its own edge of the window (top
// or bottom) in proportion, so the larger text stays inside the window.
void ScaleHudLines(HudLines& hud, float scale, unsigned height);
std::string FormatFrameTime(float deltaTime);  // "0.016667 s/Frame"
