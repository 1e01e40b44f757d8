// sound_events.h: what the player should hear, worked out by watching the game. A snapshot of
// the game's state is taken before and after each frame; comparing the two gives the frame's
// sound events (a duck collected, a jump's take-off and landing, a stroke of the paddle, ...)
// with where they happened. Pure logic: no sound device, so tests can drive it with any state.
#pragma once

#include <glm/glm.hpp>

#include "audio/sound_clip.h"
#include "scene/game.h"

// Where the player hears from: the view's eye and its axes in the world.
struct Listener {
  glm::vec3 position{0.0f};
  glm::vec3 forward{0.0f, 0.0f, -1.0f};
  glm::vec3 up{0.0f, 1.0f, 0.0f};
};

// What sound needs of the game at one moment. Plain values only: taking one never allocates.
struct GameSnapshot {
  bool duckAlive[DuckCount] = {};
  glm::vec3 duckCentre[DuckCount] = {};
  glm::mat4 canoe{1.0f};        // the canoe's transform
  glm::vec3 canoeCentre{0.0f};  // middle of its box
  float canoeBottom = 0.0f;     // underside of its box
  float waterTop = 0.0f;        // the water's surface
  bool rising = false;          // jump phases
  bool falling = false;
  float paddleSpeed = 0.0f;  // its sign is the stroke's direction
  glm::vec3 blade{0.0f};     // the paddle blade's centre in the world
  int secondsShown = 0;
  bool gameOver = false;
  int ducksCollected = 0;
  bool forward = false, backward = false, left = false, right = false;  // W, S, A, D held
  bool fast = false;                                                    // left Shift held
  float deltaTime = 0.0f;  // the frame clock's deltaTime at this moment
  Listener listener;
};

GameSnapshot TakeSnapshot(const Game& game);

// One sound to start: a positional one at `position`, or one heard as if inside the head.
struct SoundEvent {
  SoundId id = SoundId::Tick;
  glm::vec3 position{0.0f};
  bool positional = false;
  float pitch = 1.0f;  // playback speed: 1 as recorded
  float gain = 1.0f;   // on top of the sound's own level
};

// A frame's events in a fixed array, so observing never allocates. Fifteen ducks can go in one
// frame together with every other kind of event.
constexpr int kMaxSoundEvents = 24;
struct SoundEvents {
  SoundEvent list[kMaxSoundEvents];
  int count = 0;
  void Add(SoundId id, glm::vec3 position, bool positional, float pitch = 1.0f, float gain = 1.0f);
};

// What the observer remembers between frames: the bump's rate limit and the strokes so far.
struct SoundObserver {
  float sinceBump = 1e9f;  // game seconds since the last bump sounded
  bool wasBlocked = false;
  unsigned strokes = 0;  // picks each stroke's pitch and gain
};

// How far strokes vary, so fifty of them a game do not sound like one clip: pitch by up to
// this fraction either way, gain by up to this many decibels.
constexpr float kStrokePitchSpread = 0.06f;
constexpr float kStrokeGainSpreadDb = 1.5f;
// Each duck taken squeaks this much higher than the one before (the fifteenth about a fifth).
constexpr float kSqueakRisePerDuck = 0.015f;

// Minimum game time between two bumps while the canoe keeps being stopped.
constexpr float kBumpInterval = 0.6f;
// Only the last seconds tick: the shown seconds from this value down to 1.
constexpr int kTickFrom = 10;

// The events of one frame, from the snapshots taken before and after it.
void ObserveFrame(SoundObserver& observer, const GameSnapshot& before, const GameSnapshot& after,
                  SoundEvents& events);
