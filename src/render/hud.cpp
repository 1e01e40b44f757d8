// hud.cpp: the overlay: an orthographic window-pixel projection and one DrawString per line.
#include "render/hud.h"

#include <glm/gtc/matrix_transform.hpp>

#include "scene/game_rules.h"

void DrawHud(Game& game, TextRenderer& text, Shader textShader) {
  const glm::mat4 projection = glm::ortho(0.0f, static_cast<float>(game.screenWidth), 0.0f,
                                          static_cast<float>(game.screenHeight));
  textShader.Use();
  SetUniformMat4(textShader, "projection", projection);
  const HudLines hud = BuildHudLines(game.state, game.input.showFrameTime, game.clock.deltaTime,
                                     game.screenWidth, game.screenHeight);
  const glm::vec3 white(1.0f, 1.0f, 1.0f);
  for (int i = 0; i < hud.count; ++i) {
    const HudLine& line = hud.lines[i];
    text.DrawString(textShader, line.text, line.x, line.y, line.scale, white);
  }
  glEnable(GL_DEPTH_TEST);
}

void DrawHelpPanel(const Game& game, TextRenderer& text, Shader textShader) {
  if (!game.help.shown) return;
  glDisable(GL_DEPTH_TEST);
  // A dark copy a little down and right keeps the white text readable over the bright sky.
  const glm::vec3 shadow(0.0f, 0.0f, 0.0f), white(1.0f, 1.0f, 1.0f);
  for (const HudLine& line : game.help.lines) {
    const float offset = 4.0f * line.scale;
    text.DrawString(textShader, line.text, line.x + offset, line.y - offset, line.scale, shadow);
    text.DrawString(textShader, line.text, line.x, line.y, line.scale, white);
  }
  glEnable(GL_DEPTH_TEST);
}
