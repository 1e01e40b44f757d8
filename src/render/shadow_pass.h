// shadow_pass.h: the first pass of every frame: the scene's depth seen from the fixed light,
// into the 4096 x 4096 shadow map that the lit scene shader then reads.
#pragma once

#include "render/pass_math.h"
#include "render/render_targets.h"
#include "render/shader_set.h"
#include "scene/game.h"

// Rebuilds the light matrices, draws the scene (no floor, no sky) into the shadow target and
// sets the viewport back to the window. The shadow target stays bound. Ducks the canoe
// touches are collected here.
LightMatrices RunShadowPass(Game& game, const ShaderSet& shaders, const RenderTargets& targets);
