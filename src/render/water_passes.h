// water_passes.h: the passes that build the water: the lit scene with the water mask in its
// alpha, the reflection seen from under the water, the water composite, and the present pass
// that puts the composed image into the window.
#pragma once

#include <glm/glm.hpp>

#include "render/pass_math.h"
#include "render/render_targets.h"
#include "render/shader_set.h"
#include "scene/game.h"

// What the passes of one frame share: the chosen view, its projection and the light.
struct FrameViews {
  View main;  // free camera or seat view
  glm::mat4 projection{1.0f};
  LightMatrices light;
};

glm::mat4 WaterModelMatrix(const World& world);  // the 2 x 2 plane onto the 100 x 100 pool

void RunScenePass(Game& game, const ShaderSet& shaders, const RenderTargets& targets,
                  const FrameViews& views);
void RunWaterMaskPass(const Game& game, const ShaderSet& shaders, const RenderTargets& targets,
                      const FrameViews& views);
void RunReflectionPass(Game& game, const ShaderSet& shaders, const RenderTargets& targets);
void RunWaterCompositePass(const Game& game, const ShaderSet& shaders, const RenderTargets& targets,
                           const FrameViews& views);
void RunPresentPass(const ShaderSet& shaders, const RenderTargets& targets);
