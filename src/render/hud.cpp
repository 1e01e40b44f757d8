// hud.cpp: the overlay: an orthographic window-pixel projection and one DrawString per line.
#include "render/hud.h"

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "scene/game_rules.h"

namespace {

constexpr float kHudRimPixels = 1.5f;  // the outline's least width

}  // namespace

void DrawHud(Game& game, TextRenderer& text, Shader textShader) {
  const glm::mat4 projection = glm::ortho(0.0f, static_cast<float>(game.screenWidth), 0.0f,
                                          static_cast<float>(game.screenHeight));
  textShader.Use();
  SetUniformMat4(textShader, "projection", projection);
  HudLines hud = BuildHudLines(game.state, game.input.showFrameTime, game.clock.deltaTime,
                               game.screenWidth, game.screenHeight);
  if (game.hudLook.scale != 1.0f) ScaleHudLines(hud, game.hudLook.scale, game.screenHeight);
  const glm::vec3 white(1.0f, 1.0f, 1.0f), rim(0.0f, 0.0f, 0.0f);
  for (int i = 0; i < hud.count; ++i) {
    const HudLine& line = hud.lines[i];
    if (game.hudLook.outline) {
      // Eight dark copies around the line make a rim wide enough to be seen at any size; the
      // fill then goes on top.
      const float r = std::max(kHudRimPixels, kHudRimPixels * 2.0f * line.scale);
      for (int k = 0; k < 8; ++k) {
        const float angle = static_cast<float>(k) * 0.7853982f;
        text.DrawString(textShader, line.text, line.x + r * std::cos(angle),
                        line.y + r * std::sin(angle), line.scale, rim);
      }
    }
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
