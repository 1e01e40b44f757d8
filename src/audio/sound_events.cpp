// sound_events.cpp: the snapshot of what sound needs, and the rules that turn the difference
// between two snapshots into the sounds of one frame.
#include "audio/sound_events.h"

#include <algorithm>
#include <cmath>

#include "scene/canoe.h"
#include "scene/game_keys.h"

namespace {

// The centre of the paddle's blade in the arms' own frame (the blade hangs out to starboard).
const glm::vec3 kBladeCentre(0.53f, -1.16f, 0.99f);

glm::vec3 BoxCentre(const SceneNode& node) {
  return node.minCorner + node.size * 0.5f;
}

// Listener axes from a view matrix: its rows are the eye's axes in world coordinates.
Listener ListenerOf(const View& view) {
  const glm::mat4& m = view.matrix;
  Listener listener;
  listener.position = view.eye;
  listener.forward = -glm::vec3(m[0][2], m[1][2], m[2][2]);
  listener.up = glm::vec3(m[0][1], m[1][1], m[2][1]);
  return listener;
}

float HeadingDegrees(const glm::mat4& m) {
  return std::atan2(-m[0][2], m[0][0]) / kDegToRad;
}

// Whether the collision test held the canoe back: the keys asked for a move or a turn (the
// keyboard step uses the deltaTime from before the frame) and well under half of it happened.
bool CanoeHeldBack(const GameSnapshot& before, const GameSnapshot& after) {
  const float dt = before.deltaTime;
  if (before.gameOver || dt <= 0.0f) return false;
  const bool moving = after.forward != after.backward;
  const bool turning = after.left != after.right;
  if (moving) {
    const glm::vec3 shift = glm::vec3(after.canoe[3] - before.canoe[3]);
    const float expected = dt * (after.fast ? kCanoeSprintSpeed : kCanoeSpeed);
    return std::hypot(shift.x, shift.z) < 0.5f * expected;
  }
  if (turning) {
    float turn = std::fabs(HeadingDegrees(after.canoe) - HeadingDegrees(before.canoe));
    if (turn > 180.0f) turn = 360.0f - turn;
    const float expected = dt * (after.fast ? kCanoeSprintTurnRate : kCanoeTurnRate);
    return turn < 0.5f * expected;
  }
  return false;
}

// Resting on the cube's or the platform's top, the game undoes every move the canoe makes
// for as long as it rests there: a stillness that is no collision to hear.
bool RestingOnTop(const GameSnapshot& s) {
  return !s.rising && !s.falling && s.canoeBottom > s.waterTop + 0.05f;
}

// A point of the stroke's low-discrepancy sequence in [-1, 1): evenly spread however many
// strokes a game has, and the same every game (the game's own random numbers are left alone).
float StrokeVariation(unsigned stroke, double step) {
  const double x = static_cast<double>(stroke) * step;
  return static_cast<float>(2.0 * (x - std::floor(x)) - 1.0);
}

}  // namespace

GameSnapshot TakeSnapshot(const Game& game) {
  GameSnapshot s;
  const World& world = game.world;
  for (int i = 0; i < DuckCount; ++i) {
    s.duckAlive[i] = game.state.duckAlive[i];
    s.duckCentre[i] = BoxCentre(world.ducks[i]);
  }
  s.canoe = world.canoeNode.transform;
  s.canoeCentre = BoxCentre(world.canoeNode);
  s.canoeBottom = world.canoeNode.minCorner.y;
  s.waterTop = world.waterVolume.MaxCorner().y;
  s.rising = world.canoeNode.rising;
  s.falling = world.canoeNode.falling;
  s.paddleSpeed = game.state.paddleSpeed;
  s.blade = glm::vec3(WorldMatrix(&world.armsNode) * glm::vec4(kBladeCentre, 1.0f));
  s.secondsShown = game.state.secondsShown;
  s.gameOver = game.state.gameOver;
  s.ducksCollected = game.state.ducksCollected;
  const bool(&keys)[KeyCount] = game.input.keyState;
  s.forward = keys[kKeyW];
  s.backward = keys[kKeyS];
  s.left = keys[kKeyA];
  s.right = keys[kKeyD];
  s.fast = keys[kKeyLeftShift];
  s.deltaTime = game.clock.deltaTime;
  s.listener = ListenerOf(SelectView(game.camera, game.seatView, world.canoeNode.transform));
  return s;
}

void SoundEvents::Add(SoundId id, glm::vec3 position, bool positional, float pitch, float gain) {
  if (count < kMaxSoundEvents) list[count++] = SoundEvent{id, position, positional, pitch, gain};
}

void ObserveFrame(SoundObserver& observer, const GameSnapshot& before, const GameSnapshot& after,
                  SoundEvents& events) {
  events.count = 0;
  for (int i = 0; i < DuckCount; ++i) {
    if (before.duckAlive[i] && !after.duckAlive[i]) {
      const float rise = kSqueakRisePerDuck * static_cast<float>(after.ducksCollected - 1);
      events.Add(SoundId::Squeak, before.duckCentre[i], true, 1.0f + std::max(0.0f, rise));
    }
  }

  if (!before.rising && after.rising) events.Add(SoundId::TakeOff, after.canoeCentre, true);
  if (before.falling && !after.falling) {
    // A landing on the water leaves the canoe's bottom on the surface; anything higher is the
    // top of the cube or the platform.
    const bool onWater = after.canoeBottom <= after.waterTop + 0.05f;
    events.Add(onWater ? SoundId::Splash : SoundId::Knock, after.canoeCentre, true);
  }

  // The arms start at the top of the stroke moving down; the stroke turns upward again where
  // the blade is deepest in the water.
  const bool driven = after.forward || after.backward || after.left || after.right;
  if (driven && !before.gameOver && before.paddleSpeed < 0.0f && after.paddleSpeed > 0.0f) {
    // The two irrationals of the plane's R2 sequence: pitch and gain vary independently.
    const unsigned n = ++observer.strokes;
    const float pitch = 1.0f + kStrokePitchSpread * StrokeVariation(n, 0.7548776662466927);
    const float db = kStrokeGainSpreadDb * StrokeVariation(n, 0.5698402909980532);
    events.Add(SoundId::Paddle, after.blade, true, pitch, std::pow(10.0f, db / 20.0f));
  }

  observer.sinceBump += after.deltaTime;
  const bool blocked = CanoeHeldBack(before, after) && !RestingOnTop(before);
  if (blocked && !observer.wasBlocked && observer.sinceBump >= kBumpInterval) {
    events.Add(SoundId::Bump, after.canoeCentre, true);
    observer.sinceBump = 0.0f;
  }
  observer.wasBlocked = blocked;

  if (!before.gameOver && after.secondsShown < before.secondsShown && after.secondsShown >= 1 &&
      after.secondsShown <= kTickFrom) {
    events.Add(SoundId::Tick, glm::vec3(0.0f), false);
  }
  if (!before.gameOver && after.gameOver) {
    const bool won = after.ducksCollected == DuckCount;
    events.Add(won ? SoundId::Win : SoundId::TimeUp, glm::vec3(0.0f), false);
  }
}
