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
