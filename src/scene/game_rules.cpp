// game_rules.cpp: the countdown, duck collection, the HUD's lines with the game-over decision,
// and the paddling stroke of the driver's arms.
#include "scene/game_rules.h"

#include <cmath>
#include <utility>

#include "scene/canoe.h"

void MarkAllDucksPresent(GameState& state) {
  for (bool& alive : state.duckAlive) alive = true;
}

void ResetPaddle(GameState& state) {
  state.paddleStroke = 0.0f;
  state.paddleSpeed = -60.0f;
}

void CountdownStep(GameState& state, float deltaTime) {
  state.timeLeft -= deltaTime;
  if (state.timeLeft > 0.0f) {
    // Nearest whole second, halves up; the sum is formed in double.
    state.secondsShown = static_cast<int>(static_cast<double>(state.timeLeft) + 0.5);
  } else {
    // Once the time is out the HUD shows 0, even when one long frame jumped straight past the
    // last half second: otherwise the shown seconds would stick at 1 and time alone would
    // never end the game.
    state.secondsShown = 0;
  }
}

bool CollectDuckIfTouched(GameState& state, const World& world, int duckIndex) {
  if (duckIndex < 0 || duckIndex >= DuckCount || !state.duckAlive[duckIndex]) return false;
  if (!CanoeOverlaps(world.canoeNode, world.ducks[duckIndex])) return false;
  ++state.ducksCollected;
  state.duckAlive[duckIndex] = false;
  return true;
}

void PaddleStep(GameState& state, SceneNode& armsNode, float deltaTime) {
  const glm::vec3 zAxis(0.0f, 0.0f, 1.0f);
  const float k = deltaTime / 0.02f;  // the frame's length in fiftieths of a second
  // The angle already carries the degrees-to-radians factor and Rotate applies it once more:
  // the arms turn by k * speed * 0.017453292 degrees a frame.
  armsNode.Rotate(k * state.paddleSpeed * kDegToRad, zAxis);
  state.paddleStroke = state.paddleStroke + k * std::fabs(state.paddleSpeed);
  if (state.paddleStroke >= 2500.0f) {
    // Turn the overshoot back so every half-stroke covers exactly 2500 units.
    if (state.paddleSpeed >= 0.0f) {
      armsNode.Rotate((2500.0f - state.paddleStroke) * kDegToRad, zAxis);
    } else {
      armsNode.Rotate((state.paddleStroke - 2500.0f) * kDegToRad, zAxis);
    }
    state.paddleSpeed = -state.paddleSpeed;
    state.paddleStroke = 0.0f;
  }
}

void ScaleHudLines(HudLines& hud, float scale, unsigned height) {
  const float top = static_cast<float>(height);
  for (int i = 0; i < hud.count; ++i) {
    HudLine& line = hud.lines[i];
    line.scale *= scale;
    line.y = line.y > top / 2.0f ? top - (top - line.y) * scale : line.y * scale;
  }
}

std::string FormatFrameTime(float deltaTime) {
  return std::to_string(deltaTime) + " s/Frame";  // fixed, six decimals
}

HudLines BuildHudLines(GameState& state, bool showFrameTime, float deltaTime, unsigned width,
                       unsigned height) {
  // Places are unsigned integer divisions of the window size; scales are float divisions.
  const float x = static_cast<float>(width / 50);
  const float topY = static_cast<float>(height - width / 40);  // unsigned subtraction
  const float topScale = static_cast<float>(width) / 3000.0f;
  const float bottomScale = static_cast<float>(width) / 1500.0f;

  HudLines hud;
  auto add = [&hud](std::string text, float lineX, float lineY, float scale) {
    hud.lines[hud.count++] = HudLine{std::move(text), lineX, lineY, scale};
  };
  // The seconds line is decided before the game-over test, so the frame the game ends shows
  // both top lines over each other.
  if (!state.gameOver) {
    add(std::to_string(state.secondsShown) + " seconds remain", x, topY, topScale);
  }
  if (state.secondsShown == 0 || state.ducksCollected == DuckCount) {
    add("GAME OVER", x, topY, topScale);
    state.gameOver = true;
  }
  if (showFrameTime) {
    add(FormatFrameTime(deltaTime), x, static_cast<float>(width / 10), bottomScale);
  }
  add(std::to_string(DuckCount - state.ducksCollected) + " duck(s) left!!!", x,
      static_cast<float>(width / 50), bottomScale);
  return hud;
}
