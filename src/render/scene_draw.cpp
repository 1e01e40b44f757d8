// scene_draw.cpp: the world's drawing order, duck collection and the floor.
#include "render/scene_draw.h"

#include "scene/game_rules.h"

void DrawScene(Game& game, const RenderTargets& targets, bool withSkybox, Shader shader,
               Shader skyboxShader) {
  World& world = game.world;
  shader.Use();
  SetUniformInt(shader, "reflection", 0);

  for (int i = 0; i < DuckCount; ++i) {
    if (!game.state.duckAlive[i]) continue;
    world.ducks[i].Draw(shader);
    // Already drawn: a duck collected here still shows in this pass's image.
    CollectDuckIfTouched(game.state, world, i);
  }

  world.canoeNode.Draw(shader);  // canoe, driver, arms
  world.obstacles[0].Draw(shader);
  world.obstacles[1].Draw(shader);
  world.poolWallZNeg.Draw(shader);
  world.poolWallZPos.Draw(shader);
  world.poolWallXPos.Draw(shader);
  world.poolWallXNeg.Draw(shader);

  // The statue is chrome: it reflects the sky's cube map, bound on its own unit.
  glActiveTexture(GL_TEXTURE2);
  SetUniformInt(shader, "skybox", 2);
  glBindTexture(GL_TEXTURE_CUBE_MAP, targets.cubemapTexture);
  SetUniformInt(shader, "reflection", 1);
  world.budmanNode.Draw(shader);

  if (withSkybox) {
    // The sky box is drawn at the far plane (depth 1.0, the cleared value): LEQUAL lets it fill
    // exactly the pixels nothing else covered, and last, so the hidden ones are never shaded.
    glDepthFunc(GL_LEQUAL);
    skyboxShader.Use();
    glBindVertexArray(targets.skyboxVAO);
    glActiveTexture(GL_TEXTURE0);
    SetUniformInt(skyboxShader, "skybox", 0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, targets.cubemapTexture);
    glDrawArrays(GL_TRIANGLES, 0, 36);
    glBindVertexArray(0);
    glDepthFunc(GL_LESS);
  }
}

void DrawFloor(const World& world, const RenderTargets& targets, Shader shader) {
  shader.Use();
  SetUniformInt(shader, "reflection", 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, targets.groundTexture);
  SetUniformMat4(shader, "model", world.planeMatrix);
  glBindVertexArray(targets.planeVAO);
  glDrawArrays(GL_TRIANGLES, 0, 6);
  glBindVertexArray(0);
}
