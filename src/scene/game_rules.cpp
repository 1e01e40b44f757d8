// game_rules.cpp: placeholder until the scene lands.
#include "scene/game_rules.h"

void MarkAllDucksPresent(GameState& s) {
  for (bool& alive : s.duckAlive) alive = true;
}
void ResetPaddle(GameState& s) {
  s.paddleStroke = 0.0f;
  s.paddleSpeed = -60.0f;
}
void CountdownStep(GameState& s, float dt) { s.timeLeft -= dt; }
bool CollectDuckIfTouched(GameState&, const World&, int) { return false; }
void PaddleStep(GameState&, SceneNode&, float) {}
HudLines BuildHudLines(GameState&, bool, float, unsigned, unsigned) { return HudLines{}; }
std::string FormatFrameTime(float) { return std::string(); }
