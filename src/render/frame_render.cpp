// frame_render.cpp: the order of the render passes of one frame and the GL state each leaves.
//
//   1-2 light matrices and shadow pass   shadowTarget, 4096^2, depth only
//   3   view selection                   free camera or seat view
//   4   scene pass                       sceneTarget, lit scene + sky + floor, wireframe here
//   5   water mask                       sceneTarget alpha only, blending off for the draw
//   6   reflection pass                  reflectionTarget, scene from under the water
//   7   water composite                  compositeTarget, water + scene image over it
//   8   present                          window, depth test off, fill mode
//   9   HUD                              window, depth test back on at its end; then the
//                                        help panel when shown, leaving the same state
//
// Blending stays on with (SRC_ALPHA, ONE_MINUS_SRC_ALPHA) except during the water mask draw;
// the depth function is GL_LESS except while the sky box draws.
#include "render/frame_render.h"

#include "render/hud.h"
#include "render/shadow_pass.h"
#include "render/water_passes.h"

void RenderFrame(Game& game, Renderer& renderer) {
  const ShaderSet& shaders = *renderer.shaders;
  const RenderTargets& targets = *renderer.targets;
  PassTimers* timers = renderer.timers;

  FrameViews views;
  BeginPass(timers, kShadowPass);
  views.light = RunShadowPass(game, shaders, targets);
  EndPass(timers, kShadowPass);

  views.main = SelectView(game.camera, game.seatView, game.world.canoeNode.transform);
  views.projection = SceneProjection(game.camera.zoom, game.screenWidth, game.screenHeight);

  BeginPass(timers, kScenePass);
  RunScenePass(game, shaders, targets, views);
  EndPass(timers, kScenePass);

  BeginPass(timers, kWaterMaskPass);
  RunWaterMaskPass(game, shaders, targets, views);
  EndPass(timers, kWaterMaskPass);

  BeginPass(timers, kReflectionPass);
  RunReflectionPass(game, shaders, targets);
  EndPass(timers, kReflectionPass);

  BeginPass(timers, kCompositePass);
  RunWaterCompositePass(game, shaders, targets, views);
  EndPass(timers, kCompositePass);

  BeginPass(timers, kPresentPass);
  RunPresentPass(shaders, targets);
  EndPass(timers, kPresentPass);

  BeginPass(timers, kHudPass);
  DrawHud(game, *renderer.text, renderer.shaders->textShader);
  DrawHelpPanel(game, *renderer.text, renderer.shaders->textShader);
  EndPass(timers, kHudPass);
}
