// autopilot.h: a pilot that plays the game to a win through the real keys. It is a tool of the
// scripted-play driver, the tests and the demo, never part of the game's own input: each frame
// it reads the world (the canoe's transform and box, the ducks still present, the obstacles and
// the walls), decides which of W / S / A / D / left Shift are held and whether Space is tapped,
// and hands those key events to the driver, which applies them through the game's key handling.
//
// The plan: an order of the ducks (nearest neighbour, then improved by reversing stretches);
// paths that go around the crate and the platform by their corners; the duck above the platform
// collected by driving up to the platform along a straight lane, jumping onto it, and jumping
// again from its top.
#pragma once

#include <array>
#include <glm/glm.hpp>

#include "app/game.h"

struct ScriptedPlay;

// The keys the pilot wants for the next frame; jump is one tap of Space.
struct PilotKeys {
  bool forward = false;   // W
  bool backward = false;  // S
  bool left = false;      // A
  bool right = false;     // D
  bool shift = false;     // left Shift
  bool jump = false;      // Space, pressed and released
};

// A rectangle on the water plane: x and z of a box's footprint.
struct FlatBox {
  glm::vec2 lo{0.0f};
  glm::vec2 hi{0.0f};
};

constexpr int kMaxBlocks = 2;  // obstacles' footprints, merged where the canoe can't pass between

struct Autopilot {
  std::array<int, DuckCount> order{};  // ducks in planned order (the high duck among them)
  int orderCount = 0;
  int highDuck = -1;              // the duck above an obstacle, collected by jumping (-1: none)
  int platform = -1;              // the obstacle under it
  glm::vec2 laneDir{1.0f, 0.0f};  // the canoe drives onto the platform along this axis
  FlatBox pool;                   // where the canoe's centre may go, inside the walls
  std::array<FlatBox, kMaxBlocks> blocks{};
  int blockCount = 0;
  float halfLength = 1.8f;  // the canoe's box at the start (bow along +x)
  float halfBeam = 0.43f;
  float waterTop = -0.5f;

  bool inLane = false;          // on the final straight toward the platform
  float backingSeconds = 0.0f;  // backing off after being stuck
  float stuckSeconds = 0.0f;
  glm::vec2 lastPosition{0.0f};
  float lastHeading = 0.0f;
  PilotKeys lastKeys;
};

// Reads the world once: obstacles, walls, the high duck, the lane onto its platform, the order.
void PlanAutopilot(Autopilot& pilot, const Game& game);

// The keys for the next frame, from the world as the last frame left it. Nothing once the game
// is over.
PilotKeys DecideKeys(Autopilot& pilot, const Game& game);

// DecideKeys, then the key events that change the held keys to those, scheduled for the next
// frame of the scripted play (applied in its event step through the game's key handling).
void SteerAutopilot(Autopilot& pilot, ScriptedPlay& play);

// The duck the pilot is heading for (-1 when every duck is collected).
int PilotTarget(const Autopilot& pilot, const Game& game);
