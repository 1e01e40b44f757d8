// water_passes.cpp: rows 4 to 8 of the frame. Each pass sets the GL state it needs and relies
// only on what the pass before it left; see frame_render.cpp for the order.
#include "render/water_passes.h"

#include "render/scene_draw.h"

namespace {

void DrawPlane(const RenderTargets& targets) {
  glBindVertexArray(targets.planeVAO);
  glDrawArrays(GL_TRIANGLES, 0, 6);
  glBindVertexArray(0);
}

void DrawScreenQuad(const Shader& screenShader, const RenderTargets& targets, GLuint texture) {
  screenShader.Use();
  glBindVertexArray(targets.screenQuadVAO);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glDrawArrays(GL_TRIANGLES, 0, 6);
  glBindVertexArray(0);
}

}  // namespace

glm::mat4 WaterModelMatrix(const World& world) {
  return world.waterVolume.transform;
}

void RunScenePass(Game& game, const ShaderSet& shaders, const RenderTargets& targets,
                  const FrameViews& views) {
  glBindFramebuffer(GL_FRAMEBUFFER, targets.sceneTarget);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPolygonMode(GL_FRONT_AND_BACK, game.input.wireframe ? GL_LINE : GL_FILL);

  const Shader& sky = shaders.skyboxShader;
  sky.Use();
  SetUniformMat4(sky, "view", SkyboxViewOf(views.main.matrix));
  SetUniformMat4(sky, "projection", views.projection);

  const Shader& lit = shaders.shadowMappingShader;
  lit.Use();
  SetUniformMat4(lit, "projection", views.projection);
  SetUniformMat4(lit, "view", views.main.matrix);
  SetUniformVec3(lit, "lightPos", game.world.lightPos);
  SetUniformVec3(lit, "viewPos", views.main.eye);
  SetUniformMat4(lit, "lightSpaceMatrix", views.light.lightSpaceMatrix);
  SetUniformInt(lit, "shadows", game.input.shadowsEnabled ? 1 : 0);
  SetUniformVec4(lit, "ClipPlane", kScenePassClipPlane);

  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  SetUniformInt(lit, "diffuseTexture", 0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, targets.depthMap);
  SetUniformInt(lit, "shadowMap", 1);
  // The statue's cube map has unit 2 to itself. A cube sampler left on unit 0 beside the 2D
  // ones makes every draw fail where the driver cannot bind it in the shader.
  SetUniformInt(lit, "skybox", 2);

  DrawScene(game, targets, true, lit, sky);
  DrawFloor(game.world, targets, lit);
}

void RunWaterMaskPass(const Game& game, const ShaderSet& shaders, const RenderTargets& targets,
                      const FrameViews& views) {
  // Alpha only: every pixel's alpha becomes 1 (the scene covers the water), then the water
  // surface, where it passes the depth test against the scene, writes the mask shader's alpha.
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_BLEND);
  const Shader& mask = shaders.waterRefractionAlphaShader;
  mask.Use();
  SetUniformMat4(mask, "view", views.main.matrix);
  SetUniformMat4(mask, "projection", views.projection);
  SetUniformMat4(mask, "model", WaterModelMatrix(game.world));
  DrawPlane(targets);
  glEnable(GL_BLEND);
}

void RunReflectionPass(Game& game, const ShaderSet& shaders, const RenderTargets& targets) {
  glBindFramebuffer(GL_FRAMEBUFFER, targets.reflectionTarget);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  // The reflection always follows the canoe, whichever view the player has chosen.
  const View reflection = ReflectionView(game.world.canoeNode);
  const Shader& lit = shaders.shadowMappingShader;
  lit.Use();
  SetUniformMat4(lit, "view", reflection.matrix);
  SetUniformVec3(lit, "viewPos", reflection.eye);
  SetUniformVec4(lit, "ClipPlane", kReflectionPassClipPlane);
  const Shader& sky = shaders.skyboxShader;
  sky.Use();
  SetUniformMat4(sky, "view", SkyboxViewOf(reflection.matrix));

  DrawScene(game, targets, true, lit, sky);  // no floor: it lies under the water
}

void RunWaterCompositePass(const Game& game, const ShaderSet& shaders, const RenderTargets& targets,
                           const FrameViews& views) {
  glBindFramebuffer(GL_FRAMEBUFFER, targets.compositeTarget);
  glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  const Shader& water = shaders.waterShader;
  water.Use();
  SetUniformMat4(water, "view", views.main.matrix);
  SetUniformMat4(water, "projection", views.projection);
  SetUniformMat4(water, "model", WaterModelMatrix(game.world));
  SetUniformVec3(water, "viewPos", views.main.eye);
  SetUniformFloat(water, "time", game.clock.currentFrame);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, targets.waterTexture);
  SetUniformInt(water, "tex0", 0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, targets.sceneColor);
  SetUniformInt(water, "tex1", 1);
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, targets.reflectionColor);
  SetUniformInt(water, "tex2", 2);
  DrawPlane(targets);

  // The scene image over the water: opaque where the mask says the scene covers it, see-through
  // where the water is seen. The quad sits at the near plane so it passes the depth test.
  DrawScreenQuad(shaders.screenShader, targets, targets.sceneColor);
}

void RunPresentPass(const ShaderSet& shaders, const RenderTargets& targets) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_DEPTH_TEST);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  DrawScreenQuad(shaders.screenShader, targets, targets.compositeColor);
}
