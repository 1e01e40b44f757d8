// shadow_pass.cpp: the light's depth map. Face culling, depth test and fill mode are whatever
// the previous frame left (back faces culled, depth on, fill), so wireframe never reaches it.
#include "render/shadow_pass.h"

#include "render/scene_draw.h"

LightMatrices RunShadowPass(Game& game, const ShaderSet& shaders, const RenderTargets& targets) {
  const LightMatrices light = ComputeLightMatrices(game.world.lightPos);
  shaders.shadowMappingDepthShader.Use();
  SetUniformMat4(shaders.shadowMappingDepthShader, "lightSpaceMatrix", light.lightSpaceMatrix);
  glBindFramebuffer(GL_FRAMEBUFFER, targets.shadowTarget);
  glViewport(0, 0, ShadowMapSize, ShadowMapSize);
  glClear(GL_DEPTH_BUFFER_BIT);
  // The floor casts no shadow and the sky none either: only the scene's nodes are drawn.
  DrawScene(game, targets, false, shaders.shadowMappingDepthShader, shaders.skyboxShader);
  glViewport(0, 0, static_cast<GLsizei>(game.screenWidth), static_cast<GLsizei>(game.screenHeight));
  return light;
}
